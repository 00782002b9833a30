// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// What stands between a printer's reports and the host's callbacks: the
// agent's slots, their suppression and the firewall around each call.
// Against a simulated printer on 127.0.0.1 that streams its status.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "agent_fixture.h"

namespace {

using namespace test_host;

class HostCallbacks : public AgentTest {
protected:
    printer_sim::Printer& streaming_printer() {
        printer_sim::PrinterOptions options;
        options.update_interval = 20ms;
        return add_printer(options);
    }

    // Status elements the printer's record has taken in so far.
    std::int32_t updates_applied(const std::string& id) {
        auto record = agent->find_connection(id);
        return record ? record->session.status_updates.load() : -1;
    }
};

TEST_F(HostCallbacks, AnAgentThatIsNotStartedRefusesToConnect) {
    agent = std::make_unique<pemra::PrinterManager>(no_pass_timings());
    events.attach(*agent);
    EXPECT_EQ(agent->connect("p9", "ws://127.0.0.1:1/websocket"), -1);
    EXPECT_EQ(agent->find_connection("p9"), nullptr);
    agent->close("p9", 1000, "");  // nothing to close: no crash
    EXPECT_EQ(events.count(), 0u);
}

TEST_F(HostCallbacks, SuppressedCallbacksStillUpdateTheRecord) {
    start_agent(no_pass_timings());
    connect_live("p1", streaming_printer());
    agent->set_callbacks_suppressed(true);
    on_io([] {});  // a report already under way has reached the host
    events.clear();
    const auto applied = updates_applied("p1");
    ASSERT_TRUE(eventually([&] { return updates_applied("p1") >= applied + 5; }, 5s)) << "the status stream stopped";
    EXPECT_EQ(events.count(), 0u) << "a suppressed agent calls no callback";
    agent->set_callbacks_suppressed(false);
    EXPECT_TRUE(events.wait_status("p1", is_live)) << "reports resume";
}

TEST_F(HostCallbacks, ACallbackThatThrowsDoesNotStopTheNextOne) {
    start_agent(no_pass_timings());
    connect_live("p1", streaming_printer());
    std::atomic<int> thrown{0};
    std::atomic<int> reached{0};
    agent->set_machine_status_changed_fn([&](std::string, MachineStatus) {
        if (thrown < 3) {
            ++thrown;
            throw std::runtime_error("host bug");
        }
        ++reached;
    });
    EXPECT_TRUE(eventually([&] { return reached >= 3; }, 5s)) << "no report after the callback threw";
    EXPECT_EQ(thrown.load(), 3);
    EXPECT_EQ(agent->find_connection("p1")->current_state(), pemra::ConnectionState::open) << "the link is untouched";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
