// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The network thread never waits for room in the outbound queue: what it
// cannot queue is dropped and logged, and the liveness pass asks again.

#include <chrono>
#include <future>
#include <string>

#include <gtest/gtest.h>

#include "agent_fixture.h"
#include "thread_freezer.h"

namespace {

using namespace test_host;

class FullQueue : public AgentTest {};

// Stops the send thread and fills the queue from the host with messages
// for a printer nobody connected (sent later to no one).
bool fill_the_queue(ThreadFreezer& freezer, pemra::PrinterManager& agent) {
    // The thread names itself once it runs, which may be after start returns.
    if (!eventually([] { return freezer_detail::thread_named("pemra-send") != 0; }, 5s)) return false;
    if (!freezer.freeze("pemra-send")) return false;
    // The thread may have been stopped holding the queue's lock; then
    // nothing could be queued until it goes on.
    auto probe = std::async(std::launch::async, [&] { return agent.queued_messages().size(); });
    if (probe.wait_for(5s) != std::future_status::ready) {
        freezer.release();
        return false;
    }
    if (probe.get() != 0u) return false;
    for (int i = 0; i < 1000; ++i) agent.send("nobody", 0, "{}", false);
    return agent.queued_messages().size() == 1000u;
}

TEST_F(FullQueue, TheNetworkThreadDropsAndLogsAndThePassAsksAgain) {
    start_agent();
    auto& printer = add_printer();
    ThreadFreezer freezer;
    ASSERT_TRUE(fill_the_queue(freezer, *agent));

    // Open: the identity and object-list requests come from the network
    // thread, which finds no room.
    ASSERT_EQ(connect("p1", printer), 0);
    EXPECT_TRUE(LogEnvironment::wait_for("outbound queue full: request 3 for p1 dropped"));
    EXPECT_TRUE(LogEnvironment::wait_for("outbound queue full: request 1 for p1 dropped"));
    EXPECT_EQ(agent->queued_messages().size(), 1000u) << "the network thread did not wait for room";
    EXPECT_FALSE(events.wait_status("p1", is_live, 0ms));

    freezer.release();
    // The pass asks a printer without status for its objects again, and the
    // subscription follows.
    ASSERT_TRUE(events.wait_status("p1", is_live));
    EXPECT_GE(frames_with_id(printer, 1).size(), 1u);
}

// A tracked request the network thread drops waits among the printer's
// pending requests and goes out with the next pass: the identity request
// dropped at the open still names the printer.
TEST_F(FullQueue, TheDroppedIdentityRequestIsAskedAgain) {
    start_agent();
    auto& printer = add_printer();
    ThreadFreezer freezer;
    ASSERT_TRUE(fill_the_queue(freezer, *agent));
    ASSERT_EQ(connect("named", printer), 0);
    ASSERT_TRUE(LogEnvironment::wait_for("outbound queue full: request 3 for named dropped"));
    freezer.release();
    ASSERT_TRUE(events.wait_status("named", is_live));
    const bool asked_again = printer.wait_received(
        [](const auto& frames) {
            for (const auto& f : frames) {
                if (f.text.find("\"printer.info\"") != std::string::npos) return true;
            }
            return false;
        },
        5s);
    EXPECT_TRUE(asked_again) << "printer.info is asked again";
    EXPECT_TRUE(events.wait_status("named", [](const MachineStatus& s) { return s.hostname == "printer-sim"; }, 5s));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
