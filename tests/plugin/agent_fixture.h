// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// An agent with shortened timing, its host callbacks recorded, and simulated
// printers on 127.0.0.1 to connect it to.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "agent/printer_manager.h"
#include "base/log.h"
#include "connection/printer_connection.h"
#include "host_events.h"
#include "printer_sim/printer.h"

namespace test_host {

// Liveness in milliseconds instead of seconds.
inline pemra::Timings fast_timings() {
    pemra::Timings t;
    t.check_interval = 100ms;
    t.open_handshake_timeout = 400ms;
    t.pong_timeout = 60ms;  // shorter than a pass: the next ping would re-arm the timer
    return t;
}

// Timing under which no liveness pass comes during a test.
inline pemra::Timings no_pass_timings() {
    pemra::Timings t = fast_timings();
    t.check_interval = std::chrono::hours(1);
    return t;
}

// The debug log of the whole test program, in one file.
class LogEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        dir_ = std::filesystem::path(::testing::TempDir()) / ("pemra_net_log_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        pemra::log::init_logging(dir_.string(), 4);
    }
    static std::string text() {
        pemra::log::flush();
        std::string all;
        for (const auto& entry : std::filesystem::directory_iterator(dir_ / "log")) {
            std::ifstream in(entry.path());
            all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return all;
    }

    // Waits until the log holds `part` (records are written as events happen
    // on the network thread, after the report that a test may wait for).
    static bool wait_for(const std::string& part, std::chrono::milliseconds timeout = 5s) {
        return eventually([&] { return text().find(part) != std::string::npos; }, timeout);
    }

private:
    static inline std::filesystem::path dir_;
};

class AgentTest : public ::testing::Test {
protected:
    void start_agent(const pemra::Timings& timings = fast_timings()) {
        agent = std::make_unique<pemra::PrinterManager>(timings);
        events.attach(*agent);
        agent->start();
    }

    printer_sim::Printer& add_printer(printer_sim::PrinterOptions options = {}) {
        printers.push_back(std::make_unique<printer_sim::Printer>(std::move(options)));
        return *printers.back();
    }

    static std::string uri(const printer_sim::Printer& p) { return "ws://" + p.address() + "/websocket"; }

    int connect(const std::string& id, const printer_sim::Printer& p) { return agent->connect(id, uri(p)); }

    // Connects and waits until the host sees the printer live.
    void connect_live(const std::string& id, const printer_sim::Printer& p) {
        ASSERT_EQ(connect(id, p), 0);
        ASSERT_TRUE(events.wait_status(id, is_live)) << id << " never came up";
    }

    // Runs fn on the agent's network thread, where a record's status lives.
    template <typename Fn>
    auto on_io(Fn fn) {
        auto task = std::make_shared<std::packaged_task<decltype(fn())()>>(std::move(fn));
        auto result = task->get_future();
        agent->post([task] { (*task)(); });
        return result.get();
    }

    std::string error_reason(const std::string& id) {
        auto record = agent->find_connection(id);
        return record ? on_io([record] { return record->error_reason; }) : std::string("<no record>");
    }

    void TearDown() override {
        agent.reset();
        printers.clear();
    }

    HostEvents events;
    std::unique_ptr<pemra::PrinterManager> agent;
    std::vector<std::unique_ptr<printer_sim::Printer>> printers;
};

// Frames of one printer with this request id, in order.
inline std::vector<printer_sim::ReceivedFrame> frames_with_id(const printer_sim::Printer& p, int id) {
    std::vector<printer_sim::ReceivedFrame> out;
    const std::string tail = ",\"id\":" + std::to_string(id) + "}";
    for (auto& f : p.received()) {
        if (f.text.size() >= tail.size() && f.text.compare(f.text.size() - tail.size(), tail.size(), tail) == 0) {
            out.push_back(f);
        }
    }
    return out;
}

}  // namespace test_host
