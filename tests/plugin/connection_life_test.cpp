// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// A printer's connection from open to close, against simulated printers on
// 127.0.0.1, with the liveness pass shortened to 100 ms.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "agent_fixture.h"
#include "protocol/requests.h"

namespace {

using namespace test_host;
using pemra::protocol::requests::kObjectsListText;
using pemra::protocol::requests::kPrinterInfoText;

class ConnectionLife : public AgentTest {};

int count_offline(const std::vector<MachineStatus>& statuses) {
    return static_cast<int>(std::count_if(statuses.begin(), statuses.end(), is_offline));
}

TEST_F(ConnectionLife, OpenAsksForIdentityThenObjectsAndReportsNothingByItself) {
    start_agent(no_pass_timings());
    auto& printer = add_printer();
    ASSERT_EQ(connect("p1", printer), 0);
    ASSERT_TRUE(printer.wait_received([](const auto& f) { return f.size() >= 3; }, 5s));
    const auto frames = printer.received();
    EXPECT_EQ(frames[0].text, kPrinterInfoText);
    EXPECT_EQ(frames[1].text, kObjectsListText);
    EXPECT_EQ(frames[2].text.rfind(R"({"jsonrpc":"2.0","method":"printer.objects.subscribe","params":{"objects":{)", 0), 0u);

    ASSERT_TRUE(events.wait_status("p1", is_live));
    const auto first = events.of("status", "p1").front();
    EXPECT_GE(first.at, frames[2].at) << "the open itself reports nothing; the subscription reply does";
    EXPECT_EQ(first.status.connect_state, pemra::connect_state::open);
    EXPECT_EQ(first.status.heartbeat, pemra::heartbeat::alive);
    EXPECT_EQ(first.status.klippy_state, pemra::klippy_state::ready);
    auto record = agent->find_connection("p1");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->current_state(), pemra::ConnectionState::open);
    EXPECT_EQ(on_io([record] { return record->server; }), "printer-sim/1.0");
}

TEST_F(ConnectionLife, RefusedPrinterIsReportedOfflineOnce) {
    start_agent(no_retry_timings());
    auto& printer = add_printer();
    printer.refuse_connections(true);
    ASSERT_EQ(connect("p1", printer), 0) << "the outcome comes later, through the callback";
    ASSERT_TRUE(events.wait_status("p1", is_offline));
    ASSERT_TRUE(settle_reports());
    const auto statuses = events.statuses("p1");
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].machine_state, pemra::machine_state::offline);
    EXPECT_EQ(agent->find_connection("p1")->current_state(), pemra::ConnectionState::failed);
    EXPECT_FALSE(error_reason("p1").empty());
    EXPECT_NE(LogEnvironment::text().find("on_fail:p1," + error_reason("p1") + ","), std::string::npos);
}

TEST_F(ConnectionLife, HandshakeThatNeverFinishesFailsAtTheTimeout) {
    start_agent(no_retry_timings());
    auto& printer = add_printer();
    printer.stall_handshakes(true);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(connect("p1", printer), 0);
    ASSERT_TRUE(events.wait_status("p1", is_offline, 5s));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 350ms) << "not before the 400 ms handshake timeout";
    ASSERT_TRUE(settle_reports());
    EXPECT_EQ(events.statuses("p1").size(), 1u);
    EXPECT_EQ(agent->find_connection("p1")->current_state(), pemra::ConnectionState::failed);
    printer.stall_handshakes(false);
}

TEST_F(ConnectionLife, PrinterClosingIsReportedWithItsCodeAndReason) {
    start_agent(no_pass_timings());
    auto& printer = add_printer();
    connect_live("p1", printer);
    events.clear();
    printer.close_connections(1001, "bye");
    ASSERT_TRUE(events.wait_status("p1", is_offline));
    EXPECT_EQ(error_reason("p1"), "close code: 1001 (Going away), close reason: bye");
    EXPECT_EQ(agent->find_connection("p1")->current_state(), pemra::ConnectionState::closed);
    ASSERT_TRUE(settle_reports());
    EXPECT_EQ(count_offline(events.statuses("p1")), 1);
}

TEST_F(ConnectionLife, DisconnectClosesWith1000ReportsOnceAndForgetsThePrinter) {
    start_agent();
    auto& printer = add_printer();
    auto& witness = add_printer();  // stays open: its pings count the passes
    connect_live("p1", printer);
    connect_live("witness", witness);
    events.clear();
    agent->close("p1", 1000, "");
    EXPECT_EQ(agent->find_connection("p1"), nullptr);
    ASSERT_TRUE(events.wait_status("p1", is_offline));
    ASSERT_TRUE(printer.wait_closes([](const auto& c) { return !c.empty(); }, 5s));
    EXPECT_EQ(printer.closes().front().code, 1000);
    ASSERT_TRUE(wait_passes(witness, 3));
    EXPECT_EQ(events.statuses("p1").size(), 1u) << "a forgotten printer is not reconnected";
    EXPECT_EQ(agent->find_connection("p1"), nullptr);

    // Connecting again builds a fresh record: no "reconnecting" report.
    events.clear();
    connect_live("p1", printer);
    for (const auto& s : events.statuses("p1")) EXPECT_NE(s.machine_state, pemra::machine_state::reconnecting);
}

TEST_F(ConnectionLife, LivenessPingsRequeriesSilentPrintersAndResendsAtTheFourthTick) {
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);
    // From now on the printer is silent: no status, and the object list goes
    // unanswered, so every tick asks for it again (each ask is one tick).
    printer.pause_status_updates(true);
    printer.set_method_fault("printer.objects.list", {std::chrono::milliseconds(0), true, 0, {}});
    printer.set_method_fault("server.files.get_directory", {std::chrono::milliseconds(0), true, 0, {}});
    const auto pings_before = printer.counters().pings_received;
    printer.clear_received();
    agent->request_file_list("p1", "gcodes");

    const std::string list_request = pemra::protocol::requests::file_list("gcodes");
    ASSERT_TRUE(printer.wait_received(
        [&](const auto& frames) { return std::count_if(frames.begin(), frames.end(), [&](auto& f) { return f.text == list_request; }) >= 4; },
        10s));
    // The ticks between two sends of the request. (The first tick may count
    // the request before its frame reaches the wire, hence 3 or 4 there.)
    std::vector<int> ticks_between;
    int ticks = -1;
    for (const auto& f : printer.received()) {
        if (f.text == list_request) {
            if (ticks >= 0) ticks_between.push_back(ticks);
            ticks = 0;
        } else if (f.text == kObjectsListText && ticks >= 0) {
            ++ticks;
        }
    }
    ASSERT_GE(ticks_between.size(), 3u);
    EXPECT_TRUE(ticks_between[0] == 3 || ticks_between[0] == 4) << ticks_between[0];
    EXPECT_EQ(ticks_between[1], 4) << "re-sent at every fourth tick";
    EXPECT_EQ(ticks_between[2], 4);
    EXPECT_GE(printer.counters().pings_received - pings_before, 12u) << "every tick pings";
}

TEST_F(ConnectionLife, PrinterSendingStatusIsNotAskedAgain) {
    start_agent();
    printer_sim::PrinterOptions options;
    options.update_interval = 20ms;
    auto& printer = add_printer(options);
    connect_live("p1", printer);
    // Live means subscribed: the first object list has been asked for.
    printer.clear_received();
    const auto pings = printer.counters().pings_received;
    ASSERT_TRUE(printer.wait_counters([&](const auto& c) { return c.pings_received >= pings + 5; }, 5s));
    EXPECT_TRUE(frames_with_id(printer, 1).empty()) << "status keeps arriving: no re-query";
}

TEST_F(ConnectionLife, MissingPongMarksTheHeartbeatLostAndKeepsTheConnection) {
    start_agent();
    // A printer that keeps talking (host statistics, as a real one sends
    // every second, here faster than the shortened passes) is alive without pongs.
    printer_sim::PrinterOptions talking;
    talking.stats_interval = 40ms;
    auto& printer = add_printer(talking);
    connect_live("p1", printer);
    const auto generation = agent->find_connection("p1")->generation();
    printer.withhold_pongs(true);
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.heartbeat == pemra::heartbeat::pong_timed_out; }));
    EXPECT_NE(LogEnvironment::text().find("heartbeat timeoutp1"), std::string::npos);
    EXPECT_EQ(agent->find_connection("p1")->current_state(), pemra::ConnectionState::open);
    EXPECT_EQ(agent->find_connection("p1")->generation(), generation) << "the same connection";

    printer.withhold_pongs(false);
    events.clear();
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.heartbeat == pemra::heartbeat::alive; }))
        << "a pong restores the heartbeat; the next report shows it";
}

TEST_F(ConnectionLife, RestartedPrinterIsReconnectedAndResubscribed) {
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);
    // A request the printer never answers before it goes away.
    printer.set_method_fault("server.files.get_directory", {std::chrono::milliseconds(0), true, 0, {}});
    agent->request_file_list("p1", "gcodes");
    ASSERT_TRUE(printer.wait_for_text(pemra::protocol::requests::file_list("gcodes"), 5s));
    events.clear();

    printer.restart();  // a fresh printer on the same port, without the fault
    ASSERT_TRUE(events.wait_in_order("p1", {is_offline, [](const MachineStatus& s) { return s.machine_state == pemra::machine_state::reconnecting; }, is_live}));
    const auto statuses = events.statuses("p1");
    const auto reconnect = std::find_if(statuses.begin(), statuses.end(), [](auto& s) { return s.machine_state == pemra::machine_state::reconnecting; });
    EXPECT_LT(std::find_if(statuses.begin(), statuses.end(), is_offline), reconnect) << "offline, then reconnecting";
    EXPECT_EQ(reconnect->connect_state, pemra::connect_state::not_open);
    EXPECT_EQ(reconnect->print_state, pemra::print_state::unknown);
    EXPECT_EQ(reconnect->klippy_state, pemra::klippy_state::unknown);
    EXPECT_EQ(reconnect->hostname, "printer-sim") << "what was known stays";

    // The unanswered request is sent again on the new connection.
    ASSERT_TRUE(events.wait_kind("file_list", 1, 10s));
    const auto lists = frames_with_id(printer, 4);
    ASSERT_GE(lists.size(), 2u);
    EXPECT_GT(lists.back().connection, lists.front().connection);
}

TEST_F(ConnectionLife, ShutdownIsPromptAndClosesOpenPrintersWith1001) {
    start_agent();
    auto& open = add_printer();
    auto& connecting = add_printer();
    auto& failed = add_printer();
    connecting.stall_handshakes(true);
    failed.refuse_connections(true);
    connect_live("a-open", open);
    connect("b-connecting", connecting);
    connect("c-failed", failed);
    ASSERT_TRUE(events.wait_status("c-failed", is_offline));
    ASSERT_TRUE(connecting.wait_counters([](const auto& c) { return c.accepted >= 1; }, 5s));
    events.clear();

    const auto started = std::chrono::steady_clock::now();
    agent.reset();
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, 3s) << "no 10 s or 30 s wait on destroy";
    ASSERT_TRUE(open.wait_closes([](const auto& c) { return !c.empty(); }, 5s));
    EXPECT_EQ(open.closes().front().code, 1001);
    EXPECT_EQ(events.count(), 0u) << "no callback during or after destroy";
    connecting.stall_handshakes(false);
}

TEST_F(ConnectionLife, DisconnectRightBeforeShutdownStillClosesWith1000) {
    for (int round = 0; round < 20; ++round) {
        start_agent(no_pass_timings());
        for (int i = 0; i < 4; ++i) connect_live("p" + std::to_string(i), add_printer());
        for (int i = 0; i < 4; ++i) agent->close("p" + std::to_string(i), 1000, "");
        agent.reset();
        for (auto& printer : printers) {
            ASSERT_TRUE(printer->wait_closes([](const auto& c) { return !c.empty(); }, 5s));
            EXPECT_EQ(printer->closes().front().code, 1000) << "round " << round;
        }
        printers.clear();
        events.clear();
    }
}

TEST_F(ConnectionLife, DisconnectWhileConnectingLeavesNoOrphanConnection) {
    start_agent(no_pass_timings());
    auto& printer = add_printer();
    printer.hold_handshakes(true);
    connect("p1", printer);
    ASSERT_TRUE(printer.wait_counters([](const auto& c) { return c.held >= 1; }, 5s));
    agent->close("p1", 1000, "");
    printer.hold_handshakes(false);  // the handshake completes after all
    ASSERT_TRUE(printer.wait_closes([](const auto& c) { return !c.empty(); }, 5s));
    EXPECT_EQ(printer.closes().front().code, 1000);
    ASSERT_TRUE(events.wait_status("p1", is_offline));
    ASSERT_TRUE(settle_reports());
    EXPECT_EQ(events.statuses("p1").size(), 1u) << "reported once as dropped, nothing else";
    EXPECT_EQ(printer.closes().front().connection, 1) << "the orphan, the printer's first connection, is the one closed";
    EXPECT_TRUE(frames_with_id(printer, 3).empty()) << "nobody talked on the orphan";
}

TEST_F(ConnectionLife, SecondAttemptOnAConnectingPrinterSupersedesTheFirst) {
    start_agent(no_pass_timings());
    auto& printer = add_printer();
    printer.hold_handshakes(true);
    connect("p1", printer);
    ASSERT_TRUE(printer.wait_counters([](const auto& c) { return c.held >= 1; }, 5s));
    connect("p1", printer);
    ASSERT_TRUE(printer.wait_counters([](const auto& c) { return c.held >= 2; }, 5s));
    printer.hold_handshakes(false);
    ASSERT_TRUE(events.wait_status("p1", is_live));
    ASSERT_TRUE(printer.wait_closes([](const auto& c) { return !c.empty(); }, 5s));
    ASSERT_TRUE(round_trip("p1", printer));
    EXPECT_EQ(printer.closes().front().code, 1000);
    EXPECT_EQ(frames_with_id(printer, 3).size(), 1u) << "one identity request: one conversation";
    const auto statuses = events.statuses("p1");
    EXPECT_EQ(statuses.front().machine_state, pemra::machine_state::reconnecting) << "the second attempt announces the reconnect";
    EXPECT_EQ(count_offline(statuses), 0);
}

TEST_F(ConnectionLife, ReconnectsGoToTheNewAddress) {
    start_agent();
    auto& old_printer = add_printer();
    auto& new_printer = add_printer();
    connect_live("p1", old_printer);
    old_printer.refuse_connections(true);
    old_printer.close_connections(1001, "moving");
    ASSERT_TRUE(events.wait_status("p1", is_offline));
    events.clear();
    connect_live("p1", new_printer);
    old_printer.refuse_connections(false);
    const auto old_accepted = old_printer.counters().accepted;

    events.clear();
    new_printer.drop_connections();
    ASSERT_TRUE(events.wait_in_order("p1", {is_offline, is_live}));
    EXPECT_GE(new_printer.counters().opened, 2u);
    EXPECT_EQ(old_printer.counters().accepted, old_accepted) << "the old address hears nothing";
}

TEST_F(ConnectionLife, AddressesTheClientCannotUseAreReportedOfflineOnce) {
    start_agent(no_pass_timings());
    const char* addresses[] = {"", "a b:80", "127.0.0.1:port", "127.0.0.1:70000", "127.0.0.1:-1"};
    int n = 0;
    for (const char* address : addresses) {
        const std::string id = "bad" + std::to_string(n++);
        EXPECT_EQ(agent->connect(id, std::string("ws://") + address + "/websocket"), -1) << address;
        ASSERT_TRUE(events.wait_status(id, is_offline)) << address;
        EXPECT_EQ(agent->find_connection(id), nullptr);
    }
    ASSERT_TRUE(settle_reports());
    std::size_t reports = 0;
    for (int i = 0; i < n; ++i) reports += events.statuses("bad" + std::to_string(i)).size();
    EXPECT_EQ(reports, 5u);
}

TEST_F(ConnectionLife, ManyPrintersDroppingAndReconnectingAtOnce) {
    start_agent();
    std::vector<printer_sim::Printer*> farm;
    for (int i = 0; i < 6; ++i) farm.push_back(&add_printer());
    for (int i = 0; i < 6; ++i) ASSERT_EQ(connect("p" + std::to_string(i), *farm[i]), 0);
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(events.wait_status("p" + std::to_string(i), is_live));
    for (int round = 0; round < 3; ++round) {
        events.clear();
        for (int i = 0; i < 6; ++i) {
            if (i % 2 == 0) {
                farm[i]->drop_connections();
            } else {
                farm[i]->restart();
            }
        }
        // Meanwhile the host keeps asking.
        for (int i = 0; i < 6; ++i) agent->request_file_list("p" + std::to_string(i), "gcodes");
        for (int i = 0; i < 6; ++i) {
            ASSERT_TRUE(events.wait_in_order("p" + std::to_string(i), {is_offline, is_live})) << "round " << round;
        }
    }
}

TEST_F(ConnectionLife, HostLockAroundExportsAndInsideCallbacksNeverDeadlocks) {
    // The host's callbacks take its lock L; its UI thread calls connect and
    // disconnect while holding L. Meanwhile every liveness pass reconnects
    // (and reports) printers that refuse.
    start_agent();
    auto& up = add_printer();
    auto& refusing = add_printer();
    refusing.refuse_connections(true);
    std::mutex host_lock;
    std::atomic<int> reports{0};
    agent->set_machine_status_changed_fn([&](std::string, MachineStatus) {
        std::lock_guard<std::mutex> guard(host_lock);
        ++reports;
    });
    for (int i = 0; i < 4; ++i) connect("down" + std::to_string(i), refusing);
    within(20s, "the host thread holding its lock", [&] {
        const auto until = std::chrono::steady_clock::now() + 1500ms;
        for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
            std::lock_guard<std::mutex> guard(host_lock);
            connect("up", up);
            connect("down" + std::to_string(i % 4), refusing);
            if (i % 25 == 0) agent->close("up", 1000, "");
            std::this_thread::sleep_for(1ms);
        }
    });
    // Counted to a deadline, not within the host's 1.5 s: a slow build under
    // load reports fewer in that time, and the check is that they go on.
    EXPECT_TRUE(eventually([&] { return reports.load() > 20; }, 10s))
        << "passes kept reconnecting and reporting: " << reports.load();
    agent.reset();  // before the lock the callback uses goes away
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
