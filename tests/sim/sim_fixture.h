// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Shared set-up of the simulator tests: quick printer options and a printer
// with a connected client.

#include <memory>

#include <gtest/gtest.h>

#include "printer_sim/printer.h"
#include "printer_sim/printer_group.h"
#include "test_client.h"

namespace sim_test {

// Options for quick tests: status every 50 ms, stats every 200 ms, slow
// processes 20 times faster.
inline printer_sim::PrinterOptions fast_options() {
    printer_sim::PrinterOptions options;
    options.update_interval = std::chrono::milliseconds(50);
    options.stats_interval = std::chrono::milliseconds(200);
    options.speed = 20.0;
    return options;
}

inline nlohmann::json all_objects(const std::vector<std::string>& names) {
    nlohmann::json objects = nlohmann::json::object();
    for (const auto& name : names) objects[name] = nullptr;
    return {{"objects", objects}};
}

class SimTest : public ::testing::Test {
protected:
    void start(printer_sim::PrinterOptions options = fast_options()) {
        printer = std::make_unique<printer_sim::Printer>(std::move(options));
        client = std::make_unique<TestClient>();
        ASSERT_TRUE(connect(*client));
    }
    // Connects and waits until the printer, too, counts the connection as
    // open: the client may see the handshake answered before the server has
    // finished sending it.
    bool connect(TestClient& c) {
        const auto opened = printer->counters().opened;
        return c.connect(printer->port()) &&
               printer->wait_counters(
                   [&](const printer_sim::ConnectionCounters& n) { return n.opened > opened; }, 2000ms);
    }
    // Subscribes to every listed object; returns the reply.
    nlohmann::json subscribe_all(int id = 2) {
        return client->call("printer.objects.subscribe", all_objects(printer->options().objects), id);
    }
    void TearDown() override {
        client.reset();
        printer.reset();
    }

    std::unique_ptr<printer_sim::Printer> printer;
    std::unique_ptr<TestClient> client;
};

}  // namespace sim_test
