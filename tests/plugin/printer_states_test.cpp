// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Printers whose API server answers but that cannot print: firmware not
// running, firmware halted by an error, and a server that refuses the
// plug-in. The host must hear each of these, against simulated printers on
// 127.0.0.1.

#include <algorithm>
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "agent_fixture.h"
#include "protocol/requests.h"

namespace {

using namespace test_host;
using pemra::protocol::requests::kObjectsListText;
using pemra::protocol::requests::kPrinterInfoText;

class PrinterStates : public AgentTest {
protected:
    // A printer whose firmware is in `klippy_state` when the plug-in connects.
    printer_sim::Printer& connect_with_firmware(const std::string& klippy_state) {
        start_agent(no_pass_timings());
        printer_sim::PrinterOptions options;
        options.klippy_state = klippy_state;
        auto& printer = add_printer(options);
        EXPECT_EQ(connect("p1", printer), 0);
        return printer;
    }
};

bool firmware_down(const MachineStatus& s) {
    return s.connect_state == pemra::connect_state::open && s.klippy_state == pemra::klippy_state::disconnected && s.machine_state == pemra::machine_state::firmware_down;
}

TEST_F(PrinterStates, FirmwareDownIsReportedThenComesUpWithItsName) {
    auto& printer = connect_with_firmware("disconnected");
    ASSERT_TRUE(events.wait_status("p1", firmware_down, 5s)) << "the 503 replies tell the host at once";
    EXPECT_EQ(events.statuses("p1").front().klippy_state, pemra::klippy_state::disconnected) << "the first report already says so";

    printer.clear_received();
    printer.klippy_ready();
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return is_live(s) && s.klippy_state == pemra::klippy_state::ready; }, 5s));
    // The name was never told while the firmware was down: it is asked for again.
    ASSERT_TRUE(printer.wait_for_text(std::string(kPrinterInfoText), 5s));
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.hostname == "printer-sim"; }, 5s));
}

TEST_F(PrinterStates, WorkingPrinterIsNotAskedForItsNameTwice) {
    start_agent(no_pass_timings());
    auto& printer = add_printer();
    connect_live("p1", printer);
    printer.begin_restart();  // firmware restart: disconnected, then ready
    ASSERT_TRUE(events.wait_in_order("p1", {firmware_down, is_live}, 10s));
    ASSERT_TRUE(printer.wait_received([](const auto& f) {
        return std::count_if(f.begin(), f.end(), [](const auto& x) { return x.text == kObjectsListText; }) >= 2;
    }, 5s));
    const auto frames = printer.received();
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(), [](const auto& f) { return f.text == kPrinterInfoText; }), 1);
}

TEST_F(PrinterStates, FirmwareHaltedByAnErrorIsNotAnIdlePrinter) {
    connect_with_firmware("error");
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.connect_state == pemra::connect_state::open; }, 5s));
    const auto s = events.statuses("p1").back();
    EXPECT_EQ(s.klippy_state, pemra::klippy_state::shutdown);
    EXPECT_EQ(s.machine_state, pemra::machine_state::firmware_down);
    EXPECT_EQ(s.webhooks.state, "error");
    EXPECT_NE(s.webhooks.state_message.find("Unable to connect"), std::string::npos);
}

TEST_F(PrinterStates, RefusalIsToldOncePerConnection) {
    pemra::Timings t = fast_timings();
    start_agent(t);
    auto& printer = add_printer();
    printer.refuse_unauthorized(true);
    ASSERT_EQ(connect("p1", printer), 0);
    ASSERT_TRUE(events.wait_kind("error", 1, 5s));
    EXPECT_EQ(events.of("error", "p1").front().text, "Unauthorized");
    EXPECT_TRUE(LogEnvironment::wait_for("printer p1 refused the plug-in: Unauthorized"));

    // Every pass asks again and is refused again; the host hears no more.
    const auto asked = printer.received().size();
    ASSERT_TRUE(printer.wait_received([&](const auto& f) { return f.size() >= asked + 4; }, 5s));
    EXPECT_EQ(events.of("error", "p1").size(), 1u);
    EXPECT_TRUE(events.of("status", "p1").empty()) << "nothing known to report";

    // A new connection is refused anew, and told anew.
    printer.close_connections(1001, "");
    ASSERT_TRUE(events.wait_kind("error", 2, 5s));
    EXPECT_EQ(events.of("error", "p1").back().text, "Unauthorized");
}

TEST_F(PrinterStates, RefusalOfAHostsOwnMessageIsNotToldByThePlugin) {
    start_agent(no_pass_timings());
    auto& printer = add_printer();
    connect_live("p1", printer);
    printer.refuse_unauthorized(true);
    agent->send("p1", 0, R"({"jsonrpc":"2.0","method":"server.info","id":42})", false);
    agent->request_file_list("p1", "gcodes");
    // Both answers have arrived once the printer received both requests and
    // the plug-in logged the file list's refusal.
    ASSERT_TRUE(LogEnvironment::wait_for("error reply to request 4 from p1: Unauthorized"));
    EXPECT_TRUE(events.of("error", "p1").empty());
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
