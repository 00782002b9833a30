// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The farm's random faults: they come, and calm() ends every one of them.

#include <chrono>
#include <numeric>
#include <thread>

#include <gtest/gtest.h>

#include "chaos.h"
#include "printer_sim/printer_group.h"
#include "sim_fixture.h"
#include "test_client.h"

namespace sim_test {
namespace {

constexpr int kPrinters = 6;

std::uint64_t total(const printer_sim::cli::Chaos& chaos) {
    const auto counts = chaos.counts();
    return std::accumulate(counts.begin(), counts.end(), std::uint64_t{0});
}

// Connects, retrying while a server restart may still keep the printer down.
bool connect_within(TestClient& client, std::uint16_t port, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (client.connect(port, "/websocket", 500ms)) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

TEST(Chaos, FaultsComeAndCalmEndsEveryOne) {
    printer_sim::PrinterGroup group;
    for (int i = 0; i < kPrinters; ++i) group.add(fast_options());
    printer_sim::cli::ChaosSettings settings;
    settings.mean_interval = 150ms;
    // Longer than the test waits: every fault is still in force at calm().
    settings.shortest = 20s;
    settings.longest = 20s;
    settings.seed = 7;
    printer_sim::cli::Chaos chaos(group, settings);
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (total(chaos) < kPrinters && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
    ASSERT_GE(total(chaos), static_cast<std::uint64_t>(kPrinters)) << chaos.summary();

    chaos.calm();
    const std::uint64_t faults = total(chaos);
    for (int i = 0; i < kPrinters; ++i) {
        auto& printer = group.at(static_cast<std::size_t>(i));
        TestClient client;
        // A server restart keeps its printer down for half the fault's time.
        ASSERT_TRUE(connect_within(client, printer.port(), 12s)) << "printer " << i << " after " << chaos.summary();
        const auto files = client.call("server.files.list", {{"root", "gcodes"}}, 5);
        EXPECT_TRUE(files.contains("result")) << "printer " << i << ": " << files.dump();
        client.call("printer.objects.subscribe", all_objects(printer.options().objects), 6);
        EXPECT_TRUE(client.wait_notifications("notify_status_update", 2, 2000ms)) << "printer " << i;
    }
    // Every printer has since sent two status frames 50 ms apart to a fresh
    // client, at least 600 ms in all: drawing one per printer every 150 ms,
    // the chaos would have begun several faults meanwhile had calm() not
    // ended its draws.
    EXPECT_EQ(total(chaos), faults) << "a fault began after calm()";
}

}  // namespace
}  // namespace sim_test
