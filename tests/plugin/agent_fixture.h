// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// An agent with shortened timing, its host callbacks recorded, and simulated
// printers on 127.0.0.1 to connect it to.

#include <algorithm>
#include <chrono>
#include <cstdint>
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

// No liveness pass and no quick attempt after a drop: a printer's only
// connection attempts are the ones the test makes.
inline pemra::Timings no_retry_timings() {
    pemra::Timings t = no_pass_timings();
    t.quick_retry.first = std::chrono::hours(1);
    t.quick_retry.interval = std::chrono::hours(1);
    return t;
}

// How many times this agent's host saw a printer's link come up: reports that
// it is live after one that it was not (`live_before`: the state before the
// first of `statuses`). Counted from the agent's own reports, as a printer's
// count of connections can include a stray attempt by another test's agent
// at a port that printer now has.
inline int times_come_up(const std::vector<MachineStatus>& statuses, bool live_before = false) {
    int up = 0;
    bool live = live_before;
    for (const auto& s : statuses) {
        if (is_live(s) && !live) ++up;
        live = is_live(s);
    }
    return up;
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

    // ---- Barriers, for checks that nothing more happened ----------------------
    // A fixed sleep proves nothing on a slow run; each of these waits for an
    // event that can only come after the ones the check is about.

    // Every report the network thread had before it reaches the host: a
    // printer that refuses connections is tried now, its offline report comes
    // through the same thread, and the thread is drained after it.
    bool settle_reports() {
        auto& barrier = add_printer();
        barrier.refuse_connections(true);
        const std::string id = "barrier-" + std::to_string(printers.size());
        if (connect(id, barrier) != 0 || !events.wait_status(id, is_offline)) return false;
        on_io([] {});
        return true;
    }

    // The printer's answer to a request reaches the host after every frame it
    // sent before (one connection, read in order); a second request reaching
    // the printer follows everything the plug-in queued for it meanwhile.
    bool round_trip(const std::string& id, const printer_sim::Printer& printer) {
        const auto is_list = [&](const HostEvent& e) { return e.kind == "file_list" && e.device_id == id; };
        const auto lists = [&](const std::vector<HostEvent>& all) {
            return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), is_list));
        };
        const auto asked = [](const std::vector<printer_sim::ReceivedFrame>& frames) {
            return static_cast<std::size_t>(std::count_if(frames.begin(), frames.end(), [](const auto& f) {
                return f.text.find("\"server.files.get_directory\"") != std::string::npos;
            }));
        };
        const std::size_t answered = lists(events.all());
        agent->request_file_list(id, "gcodes");
        if (!events.wait([&](const auto& all) { return lists(all) > answered; })) return false;
        const std::size_t sent = asked(printer.received());
        agent->request_file_list(id, "gcodes");
        return printer.wait_received([&](const auto& frames) { return asked(frames) > sent; }, 5s);
    }

    // `passes` more liveness passes have run and what they handed to the
    // network thread is done: every pass pings each open printer, so an open
    // `witness` counts them (one extra, for a pass already under way).
    bool wait_passes(const printer_sim::Printer& witness, int passes) {
        const auto pings = witness.counters().pings_received;
        const auto wanted = pings + static_cast<std::uint64_t>(passes) + 1;
        if (!witness.wait_counters([&](const auto& c) { return c.pings_received >= wanted; }, 10s)) return false;
        on_io([] {});
        return true;
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
