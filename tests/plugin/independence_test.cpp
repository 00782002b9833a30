// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// One printer's trouble never holds back another, and a host's or a stalled
// network thread's burst stays bounded: slow name lookups, the hand-over to
// the network thread, and the races between the host's calls and a
// connection's events. Against simulated printers on 127.0.0.1.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "agent_fixture.h"
#include "thread_freezer.h"

namespace {

using namespace test_host;

bool is_reconnecting(const MachineStatus& s) { return s.machine_state == pemra::machine_state::reconnecting; }

std::string ws_uri(const std::string& host, std::uint16_t port) {
    return "ws://" + host + ":" + std::to_string(port) + "/websocket";
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// Holds io_thread at one named pause point until released.
class PausePoint {
public:
    explicit PausePoint(std::string point) : point_(std::move(point)) {}
    std::function<void(const char*)> hook() {
        return [this](const char* point) {
            if (point_ != point) return;
            std::unique_lock<std::mutex> lock(mutex_);
            if (used_) return;  // only the first time
            used_ = reached_ = true;
            changed_.notify_all();
            changed_.wait_for(lock, 10s, [this] { return released_; });
        };
    }
    bool wait_reached() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 5s, [this] { return reached_; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    const std::string point_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool used_ = false, reached_ = false, released_ = false;
};

class Independence : public AgentTest {
protected:
    // Quick attempts at 100 ms then every 200 ms; lookups time out at 300 ms;
    // "localhost" answers only once the test lets it.
    pemra::Timings slow_name_timings() {
        pemra::Timings t = no_pass_timings();
        t.quick_retry.first = 100ms;
        t.quick_retry.interval = 200ms;
        t.quick_retry.window = 30s;
        t.name_lookup_timeout = 300ms;
        t.lookup_held = [this](const std::string& host) { return host == "localhost" && hold_lookup.load(); };
        return t;
    }
    std::atomic<bool> hold_lookup{true};
};

TEST_F(Independence, APrinterWhoseNameIsSlowHoldsUpNoOther) {
    start_agent(slow_name_timings());
    auto& numeric = add_printer();
    auto& named = add_printer();
    connect_live("numeric", numeric);
    ASSERT_EQ(agent->connect("named", ws_uri("localhost", named.port())), 0);
    // The named printer's own timeout ends its wait; it is reported offline
    // and retried, every retry waiting for the one lookup still running.
    ASSERT_TRUE(events.wait_status("named", is_offline));

    for (int round = 0; round < 2; ++round) {
        events.clear();
        numeric.restart();
        ASSERT_TRUE(events.wait_status("numeric", is_offline)) << "round " << round;
        ASSERT_TRUE(events.wait_status("numeric", is_live)) << "round " << round << ": back while the name still hangs";
        ASSERT_TRUE(hold_lookup.load());
    }
    ASSERT_TRUE(events.wait([](const auto& all) {
        return std::count_if(all.begin(), all.end(), [](const HostEvent& e) {
                   return e.device_id == "named" && e.kind == "status" && is_reconnecting(e.status);
               }) >= 2;
    }));
    EXPECT_EQ(count_of(LogEnvironment::text(), "name lookup of localhost for named started"), 1u)
        << "the retries waited for the lookup under way instead of starting more";

    // The lookup ends at last: the attempt waiting for it connects.
    hold_lookup.store(false);
    EXPECT_TRUE(events.wait_status("named", is_live));
    EXPECT_EQ(named.counters().opened, 1u);
}

TEST_F(Independence, StopDoesNotWaitForALookupUnderWay) {
    start_agent(slow_name_timings());
    ASSERT_EQ(agent->connect("named", ws_uri("localhost", 9)), 0);
    ASSERT_TRUE(LogEnvironment::wait_for("name lookup of localhost for named started"));
    within(5s, "stop with a lookup under way", [&] { agent.reset(); });
}

TEST_F(Independence, TheHandshakeNamesTheHostAsGivenAndEachAddressIsTriedInTurn) {
    // A listener on 127.0.0.1 only: "localhost" may also name ::1, where
    // nothing listens, and the attempt must go on to the next address.
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::uint16_t port = ntohs(address.sin_port);

    start_agent(no_pass_timings());
    ASSERT_EQ(agent->connect("p1", ws_uri("localhost", port)), 0);
    pollfd ready{listener, POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 5000), 1) << "no connection came";
    const int client = accept(listener, nullptr, nullptr);
    ASSERT_GE(client, 0);
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd readable{client, POLLIN, 0};
        ASSERT_EQ(poll(&readable, 1, 5000), 1);
        const auto got = read(client, buffer, sizeof buffer);
        ASSERT_GT(got, 0);
        request.append(buffer, static_cast<std::size_t>(got));
    }
    close(client);
    close(listener);
    EXPECT_NE(request.find("\r\nHost: localhost:" + std::to_string(port) + "\r\n"), std::string::npos) << request;
}

TEST_F(Independence, ANameTooLongIsReportedOfflineAndRetriedAtTheUsualRhythm) {
    start_agent(slow_name_timings());
    auto& witness = add_printer();
    const std::string name(254, 'a');
    ASSERT_EQ(agent->connect("long", ws_uri(name, 7125)), 0);
    connect_live("witness", witness);
    ASSERT_TRUE(events.wait([](const auto& all) {
        return std::count_if(all.begin(), all.end(), [](const HostEvent& e) {
                   return e.device_id == "long" && e.kind == "status" && is_reconnecting(e.status);
               }) >= 2;
    })) << "retried";
    const auto statuses = events.statuses("long");
    EXPECT_TRUE(is_offline(statuses.front())) << "the first report is the offline one";
    EXPECT_GE(count_of(LogEnvironment::text(), "the printer's name is not a host name"), 1u);
}

TEST_F(Independence, TheHandOverToAStalledNetworkThreadIsBounded) {
    pemra::Timings t = no_pass_timings();
    t.queue_wait = 20ms;
    start_agent(t);
    auto& printer = add_printer();
    connect_live("p1", printer);
    ThreadFreezer freezer;
    ASSERT_TRUE(freezer.freeze("pemra-io"));
    const std::size_t capacity = pemra::OutboundQueue::kCapacity;
    // More than the queue and the hand-over hold: the surplus waits its
    // 20 ms each and is dropped.
    for (std::size_t i = 0; i < 2 * capacity + 10; ++i) {
        agent->send("p1", 0, R"({"jsonrpc":"2.0","method":"server.info","id":0})", false);
    }
    EXPECT_TRUE(eventually([&] { return agent->messages_handed_over() == capacity; }, 5s))
        << agent->messages_handed_over();
    EXPECT_EQ(agent->queued_messages().size(), capacity) << "the send thread waits for the network thread";
    EXPECT_EQ(agent->messages_handed_over(), capacity) << "and hands over no more";
    freezer.release();
    // Everything held is written once the thread runs again.
    ASSERT_TRUE(eventually([&] { return agent->messages_handed_over() == 0 && agent->queued_messages().empty(); }, 10s));
    ASSERT_TRUE(round_trip("p1", printer));
}

TEST_F(Independence, ADisconnectBeforeARetryStartsLeavesThePrinterAlone) {
    // Passes every 100 ms retry a closed printer; no quick attempts.
    pemra::Timings t = fast_timings();
    t.quick_retry.first = std::chrono::hours(1);
    start_agent(t);
    auto& printer = add_printer();
    connect_live("p1", printer);
    printer.refuse_connections(true);
    printer.drop_connections();
    ASSERT_TRUE(events.wait_status("p1", is_offline));
    ThreadFreezer freezer;
    ASSERT_TRUE(freezer.freeze("pemra-io"));
    // A pass asks for a new attempt (the record's generation moves on)...
    const auto generation = agent->find_connection("p1")->generation();
    ASSERT_TRUE(eventually([&] { return agent->find_connection("p1")->generation() != generation; }, 5s));
    // ...and the host disconnects the printer before that attempt starts.
    events.clear();
    agent->close("p1", 1000, "");
    freezer.release();
    ASSERT_TRUE(settle_reports());
    EXPECT_TRUE(events.statuses("p1").empty()) << "neither reconnecting nor offline for a printer the host removed";
}

TEST_F(Independence, AHostConnectDuringAnOpenKeepsOneLinkOwned) {
    PausePoint opened("on_open claimed");
    pemra::Timings t = no_pass_timings();
    t.pause_point = opened.hook();
    start_agent(t);
    auto& printer = add_printer();
    ASSERT_EQ(connect("p1", printer), 0);
    ASSERT_TRUE(opened.wait_reached());
    // The host connects again while the first link is being opened.
    EXPECT_EQ(connect("p1", printer), 0);
    opened.release();
    ASSERT_TRUE(events.wait_status("p1", is_live));
    ASSERT_TRUE(round_trip("p1", printer));
    EXPECT_EQ(printer.open_connections().size(), 1u) << "no link left open that no record owns";
    // The link the record owns is the one that works: a drop is noticed.
    printer.drop_connections();
    EXPECT_TRUE(events.wait_status("p1", is_offline));
}

TEST_F(Independence, APassThatRanLateIsSkippedWhole) {
    pemra::Timings t = fast_timings();
    start_agent(t);
    auto& printer = add_printer();
    connect_live("p1", printer);
    // No status: every pass that is judged asks for the objects again.
    printer.pause_status_updates(true);
    const auto stalled_at = std::chrono::steady_clock::now();
    agent->post([] { std::this_thread::sleep_for(600ms); });
    const auto pings = printer.counters().pings_received;
    // (A subscription's reply counts as status, so every other judged pass
    // asks.)
    ASSERT_TRUE(printer.wait_counters([&](const auto& c) { return c.pings_received >= pings + 8; }, 10s));
    ASSERT_TRUE(LogEnvironment::wait_for("liveness pass skipped"));
    // The passes that piled up behind the stall sent nothing: the requests
    // for the objects keep the passes' spacing instead of coming in a burst.
    std::vector<std::chrono::steady_clock::time_point> asked;
    for (const auto& frame : frames_with_id(printer, 1)) {
        if (frame.at > stalled_at) asked.push_back(frame.at);
    }
    ASSERT_GE(asked.size(), 3u);
    for (std::size_t i = 1; i < asked.size(); ++i) {
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(asked[i] - asked[i - 1]);
        EXPECT_GE(gap, t.check_interval / 5) << "request " << i << " came in a burst, " << gap.count() << " ms after the one before";
    }
}

TEST_F(Independence, APrinterThatFloodsFramesHoldsUpNoOther) {
    start_agent(no_pass_timings());
    printer_sim::PrinterOptions flood_options;
    flood_options.update_interval = 1ms;  // every frame carries a new number, so none is left out
    flood_options.number_frames = true;
    flood_options.record_frames = false;
    auto& flood = add_printer(flood_options);
    printer_sim::PrinterOptions calm_options;
    calm_options.number_frames = true;
    auto& calm = add_printer(calm_options);
    connect_live("calm", calm);
    connect_live("flood", flood);

    // From here on only counts and times are kept: recording every report
    // of the flood would cost the host more than the plug-in.
    struct Seen {
        std::mutex mutex;
        std::vector<std::chrono::steady_clock::time_point> calm_frames;  // when each new number arrived
        double last_calm_number = 0;
        std::atomic<int> flood_reports{0};
    };
    auto seen = std::make_shared<Seen>();
    agent->set_machine_status_changed_fn([seen](std::string id, MachineStatus s) {
        if (id == "flood") {
            ++seen->flood_reports;
            return;
        }
        std::lock_guard<std::mutex> lock(seen->mutex);
        const double number = -s.toolhead.estimated_print_time;
        if (number > seen->last_calm_number) {
            seen->last_calm_number = number;
            seen->calm_frames.push_back(std::chrono::steady_clock::now());
        }
    });
    ASSERT_TRUE(eventually(
        [&] {
            std::lock_guard<std::mutex> lock(seen->mutex);
            return seen->calm_frames.size() >= 12;
        },
        20s));

    std::lock_guard<std::mutex> lock(seen->mutex);
    // The flood was one: many times the calm printer's four frames a second.
    EXPECT_GT(seen->flood_reports.load(), 20 * 2 * static_cast<int>(seen->calm_frames.size()));
    // Each of the calm printer's frames came in its turn, about 250 ms after
    // the one before, not after the flood's backlog.
    for (std::size_t i = 1; i < seen->calm_frames.size(); ++i) {
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(seen->calm_frames[i] - seen->calm_frames[i - 1]);
        EXPECT_LT(gap, 750ms) << "calm frame " << i << " came " << gap.count() << " ms after the one before";
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
