// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Printer addresses as hosts give them: names to resolve and IPv6 literals,
// against simulated printers on the loopback interface.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "agent_fixture.h"

namespace {

using namespace test_host;

class Addresses : public AgentTest {};

std::string ws_uri(const std::string& host, std::uint16_t port) {
    return "ws://" + host + ":" + std::to_string(port) + "/websocket";
}

// Whether this machine can listen on ::1 at all (containers often cannot).
bool has_ipv6_loopback() {
    const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return bound;
}

TEST_F(Addresses, LocalhostIsResolved) {
    start_agent(no_pass_timings());
    auto& printer = add_printer();
    ASSERT_EQ(agent->connect("p1", ws_uri("localhost", printer.port())), 0);
    EXPECT_TRUE(events.wait_status("p1", is_live));
    EXPECT_EQ(events.statuses("p1").front().connect_state, pemra::connect_state::open) << "the first attempt got through";
}

TEST_F(Addresses, ANameThatDoesNotResolveIsReportedOfflineOnceAfterTheCallReturns) {
    start_agent(no_retry_timings());
    // The network thread is held up while the connect is made: the call must
    // return without it, and the outcome can only be reported after it.
    std::promise<void> gate;
    auto opened = std::make_shared<std::shared_future<void>>(gate.get_future().share());
    agent->post([opened] { opened->wait(); });
    int result = -2;
    // ".invalid" never resolves (RFC 6761).
    within(5s, "connect to a name that does not resolve",
           [&] { result = agent->connect("ghost", ws_uri("no-such-printer.invalid", 7125)); });
    EXPECT_EQ(result, 0) << "the outcome comes later, through the callback";
    EXPECT_TRUE(events.statuses("ghost").empty()) << "reported before the network thread could look the name up";
    gate.set_value();

    ASSERT_TRUE(events.wait_status("ghost", is_offline, 30s));
    ASSERT_TRUE(settle_reports());
    EXPECT_EQ(events.statuses("ghost").size(), 1u);
}

TEST_F(Addresses, AnIpv6LiteralReachesAPrinterOnTheIpv6Loopback) {
    if (!has_ipv6_loopback()) GTEST_SKIP() << "no IPv6 loopback on this machine";
    start_agent(no_pass_timings());
    printer_sim::PrinterOptions options;
    options.bind_address = "::1";
    auto& printer = add_printer(options);
    ASSERT_EQ(agent->connect("p6", ws_uri("[::1]", printer.port())), 0);
    EXPECT_TRUE(events.wait_status("p6", is_live));
    EXPECT_EQ(events.statuses("p6").front().connect_state, pemra::connect_state::open) << "the first attempt got through";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
