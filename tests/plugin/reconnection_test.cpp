// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// How a printer that went away comes back: quick attempts after a drop the
// host did not ask for, and a link that shows no sign of life taken for
// dead. Against simulated printers on 127.0.0.1, with the delays shortened.

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_fixture.h"

namespace {

using namespace test_host;
using Clock = std::chrono::steady_clock;

bool is_reconnecting(const MachineStatus& s) { return s.machine_state == pemra::machine_state::reconnecting; }
bool lost_heartbeat(const MachineStatus& s) { return s.connect_state == pemra::connect_state::open && s.heartbeat == pemra::heartbeat::pong_timed_out; }

// Quick attempts at 100 ms, then every 200 ms, for 2 s; no liveness pass.
pemra::Timings quick_timings() {
    pemra::Timings t = no_pass_timings();
    t.quick_retry.first = 100ms;
    t.quick_retry.interval = 200ms;
    t.quick_retry.window = 2s;
    return t;
}

// The "reconnecting" reports of one printer among `all`.
std::vector<HostEvent> reconnects_in(const std::vector<HostEvent>& all, const std::string& id) {
    std::vector<HostEvent> out;
    for (const auto& e : all) {
        if (e.kind == "status" && e.device_id == id && is_reconnecting(e.status)) out.push_back(e);
    }
    return out;
}

// Quick attempts as above, with 100 ms passes that ping and 60 ms pongs.
pemra::Timings liveness_timings() {
    pemra::Timings t = quick_timings();
    t.check_interval = 100ms;
    t.pong_timeout = 60ms;
    return t;
}

class Reconnection : public AgentTest {
protected:
    std::vector<HostEvent> reconnects(const std::string& id) const { return reconnects_in(events.all(), id); }
    // Waits until `id` was announced reconnecting at least `count` times.
    bool wait_reconnects(const std::string& id, std::size_t count) {
        return events.wait([&](const std::vector<HostEvent>& all) { return reconnects_in(all, id).size() >= count; }, 5s);
    }
};

TEST_F(Reconnection, RestartedServerIsBackWithinAFewQuickAttempts) {
    start_agent(quick_timings());
    auto& printer = add_printer();
    connect_live("p1", printer);
    events.clear();

    const auto restarted = Clock::now();
    printer.restart_server(600ms);
    ASSERT_TRUE(events.wait_in_order("p1", {is_offline, is_reconnecting, is_offline, is_reconnecting, is_live}, 5s))
        << "offline, refused attempts, then back";
    const auto live = events.of("status", "p1").back().at;
    EXPECT_LT(live - restarted, 600ms + 1s) << "back soon after the server listens again, not at a liveness pass";

    // While the server refused, about one attempt every 200 ms: never a storm.
    const auto attempts = reconnects("p1");
    EXPECT_GE(attempts.size(), 2u);
    EXPECT_LE(attempts.size(), 6u);
    for (std::size_t i = 1; i < attempts.size(); ++i) {
        EXPECT_GE(attempts[i].at - attempts[i - 1].at, 150ms) << "attempt " << i << " came too soon";
    }
    // Every attempt is announced before its outcome: reconnecting, then
    // offline or live, never two attempts without an outcome between them.
    const auto statuses = events.statuses("p1");
    for (std::size_t i = 1; i < statuses.size(); ++i) {
        EXPECT_FALSE(is_reconnecting(statuses[i]) && is_reconnecting(statuses[i - 1])) << "report " << i;
    }
    EXPECT_EQ(times_come_up(statuses, true), 1) << "one new connection after the restart";
}

TEST_F(Reconnection, QuickAttemptsEndWithTheirWindowAndThePassCarriesOn) {
    pemra::Timings t = quick_timings();
    t.quick_retry.window = 500ms;
    t.check_interval = 3000ms;
    start_agent(t);
    auto& printer = add_printer();
    connect_live("p1", printer);
    const auto dropped = Clock::now();
    printer.refuse_connections(true);
    printer.close_connections(1001, "");

    // The first liveness pass after the window still tries.
    ASSERT_TRUE(events.wait(
        [&](const std::vector<HostEvent>& all) {
            return std::any_of(all.begin(), all.end(), [&](const HostEvent& e) {
                return e.kind == "status" && is_reconnecting(e.status) && e.at - dropped >= 2500ms;
            });
        },
        8s));
    // Before it, quick attempts only inside the window. The last may start
    // one interval after the window's end, and the window only opens once
    // the drop is seen and the first refusal is in: 600 ms of slack for
    // those, while attempts that went on past the window would come every
    // 200 ms until the pass.
    int quick = 0;
    for (const auto& e : reconnects("p1")) {
        const auto since = e.at - dropped;
        if (since >= 2500ms) continue;
        ++quick;
        EXPECT_LT(since, 500ms + 200ms + 600ms) << "an attempt after the window ended";
    }
    EXPECT_GE(quick, 2);
}

TEST_F(Reconnection, PrintersDroppedTogetherComeBackSpreadOut) {
    pemra::Timings t = quick_timings();
    t.quick_retry.first = 300ms;
    start_agent(t);
    const int n = 8;
    for (int i = 0; i < n; ++i) connect_live("p" + std::to_string(i), add_printer());
    events.clear();
    for (auto& p : printers) p->close_connections(1001, "");
    for (int i = 0; i < n; ++i) ASSERT_TRUE(events.wait_status("p" + std::to_string(i), is_live, 5s));

    std::vector<Clock::time_point> first_attempts;
    for (int i = 0; i < n; ++i) first_attempts.push_back(reconnects("p" + std::to_string(i)).front().at);
    const auto [earliest, latest] = std::minmax_element(first_attempts.begin(), first_attempts.end());
    EXPECT_GT(*latest - *earliest, 20ms) << "each printer jitters its delay";
    for (int i = 0; i < n; ++i) {
        const std::string id = "p" + std::to_string(i);
        EXPECT_EQ(times_come_up(events.statuses(id), true), 1) << id << ": one new connection after the drop";
    }
}

TEST_F(Reconnection, NothingIsTriedForAPrinterTheHostDisconnected) {
    // The host's disconnect lands well before the first quick attempt could.
    pemra::Timings t = quick_timings();
    t.quick_retry.first = 1s;
    start_agent(t);
    auto& kept = add_printer();
    auto& forgotten = add_printer();
    connect_live("kept", kept);
    connect_live("forgotten", forgotten);
    kept.refuse_connections(true);
    forgotten.refuse_connections(true);
    kept.close_connections(1001, "");
    forgotten.close_connections(1001, "");
    ASSERT_TRUE(events.wait_status("forgotten", is_offline));
    agent->close("forgotten", 1000, "");

    // "kept" is tried several times: time enough for "forgotten" as well.
    ASSERT_TRUE(wait_reconnects("kept", 3));
    EXPECT_TRUE(reconnects("forgotten").empty());
    EXPECT_EQ(agent->find_connection("forgotten"), nullptr);
}

TEST_F(Reconnection, HostConnectStartsAFreshRhythmAfterTheWindow) {
    pemra::Timings t = quick_timings();
    t.quick_retry.interval = 100ms;
    t.quick_retry.window = 300ms;
    start_agent(t);  // and no liveness pass
    auto& printer = add_printer();
    printer.refuse_connections(true);
    ASSERT_EQ(connect("p1", printer), 0);
    ASSERT_TRUE(events.wait_status("p1", is_offline));
    const auto first_failure = Clock::now();
    ASSERT_TRUE(wait_reconnects("p1", 1));
    // Let the window run out: from then on only the host could try again.
    std::this_thread::sleep_for(300ms + 200ms - (Clock::now() - first_failure));
    const auto before = reconnects("p1").size();

    ASSERT_EQ(connect("p1", printer), 0);  // refused again
    ASSERT_TRUE(wait_reconnects("p1", before + 3)) << "the host's connect starts quick attempts anew";
}

TEST_F(Reconnection, SilentPrinterGoesOfflineAndComesBackWhenItAnswers) {
    start_agent(liveness_timings());
    auto& printer = add_printer();
    connect_live("p1", printer);
    events.clear();

    const auto silent_at = Clock::now();
    printer.go_silent(true);
    ASSERT_TRUE(events.wait_in_order("p1", {lost_heartbeat, is_offline}, 5s));
    const auto dropped_after = Clock::now() - silent_at;
    const auto statuses = events.statuses("p1");
    EXPECT_EQ(std::count_if(statuses.begin(), statuses.end(), is_offline), 1) << "one offline report for the drop";
    EXPECT_GE(dropped_after, 250ms) << "kept through the missed pong and two more silent passes";
    EXPECT_TRUE(LogEnvironment::wait_for("no sign of life from p1"));

    printer.go_silent(false);
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return is_live(s) && s.heartbeat == pemra::heartbeat::alive; }, 5s));
}

TEST_F(Reconnection, APrinterThatAnswersPingsOrSendsFramesKeepsItsLink) {
    start_agent(liveness_timings());
    printer_sim::PrinterOptions chatty;
    chatty.stats_interval = 40ms;
    auto& pongs_only = add_printer();
    auto& frames_only = add_printer(chatty);
    connect_live("pongs", pongs_only);
    connect_live("frames", frames_only);
    // The plug-in's own view of each link: a drop and a new connection would
    // change the record's generation. (A printer's count of connections can
    // include a stray attempt by another test's agent at a port it used to
    // have.)
    const auto generation_of = [&](const char* id) { return agent->find_connection(id)->generation(); };
    const auto pongs_generation = generation_of("pongs");
    const auto frames_generation = generation_of("frames");
    pongs_only.pause_status_updates(true);
    pongs_only.pause_proc_stats(true);
    pongs_only.set_method_fault("printer.objects.list", {std::chrono::milliseconds(0), true, 0, {}});
    frames_only.withhold_pongs(true);

    // Ten passes, counted by the pings each printer receives.
    const auto pings_pongs = pongs_only.counters().pings_received;
    const auto pings_frames = frames_only.counters().pings_received;
    ASSERT_TRUE(pongs_only.wait_counters([&](const auto& c) { return c.pings_received >= pings_pongs + 10; }, 10s));
    ASSERT_TRUE(frames_only.wait_counters([&](const auto& c) { return c.pings_received >= pings_frames + 10; }, 10s));
    for (const auto& id : {"pongs", "frames"}) {
        const auto statuses = events.statuses(id);
        EXPECT_EQ(std::count_if(statuses.begin(), statuses.end(), is_offline), 0) << id;
    }
    EXPECT_EQ(generation_of("pongs"), pongs_generation);
    EXPECT_EQ(generation_of("frames"), frames_generation);
}

TEST_F(Reconnection, ABusyNetworkThreadIsNotTakenForASilentPrinter) {
    start_agent(liveness_timings());
    printer_sim::PrinterOptions talking;
    talking.stats_interval = 40ms;
    auto& printer = add_printer(talking);
    connect_live("p1", printer);
    const auto generation = agent->find_connection("p1")->generation();
    // The network thread is held up for six passes: they pile up behind it
    // and then run back to back, before the frames that came meanwhile.
    agent->post([] { std::this_thread::sleep_for(600ms); });
    const auto pings = printer.counters().pings_received;
    ASSERT_TRUE(printer.wait_counters([&](const auto& c) { return c.pings_received >= pings + 10; }, 10s));
    const auto statuses = events.statuses("p1");
    EXPECT_EQ(std::count_if(statuses.begin(), statuses.end(), is_offline), 0);
    EXPECT_EQ(agent->find_connection("p1")->generation(), generation) << "the same connection throughout";
}

TEST_F(Reconnection, SilentPrinterDisconnectedByTheHostIsReportedOnceAndNotRetried) {
    start_agent(liveness_timings());
    auto& silent = add_printer();
    auto& witness = add_printer();
    connect_live("silent", silent);
    connect_live("witness", witness);
    silent.go_silent(true);
    ASSERT_TRUE(events.wait_status("silent", lost_heartbeat, 5s));
    events.clear();
    agent->close("silent", 1000, "");

    // The closing handshake gets no answer; its timeout ends the link.
    ASSERT_TRUE(events.wait_status("silent", is_offline, 10s));
    // Five more passes, seen by the witness.
    const auto pings = witness.counters().pings_received;
    ASSERT_TRUE(witness.wait_counters([&](const auto& c) { return c.pings_received >= pings + 5; }, 5s));
    const auto statuses = events.statuses("silent");
    EXPECT_EQ(statuses.size(), 1u) << "no reconnection: an attempt would be announced";
    EXPECT_EQ(agent->find_connection("silent"), nullptr);
    silent.go_silent(false);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
