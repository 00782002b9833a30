// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// print, pause, resume, cancel, estop and gcode on several simulated
// printers at once: a result per printer, success only when the printer's
// status shows it, and the exit status of the worst one.

#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "monitor_fixture.h"

namespace monitor_test {
namespace {

const std::string kCube = "calibration_cube_0.2mm_PLA.gcode";
const std::string kAwkward = "bracket \"v2\" f\xC3\xBCr Jos\xC3\xA9.gcode";

printer_sim::PrinterOptions farm_printer(bool printing) {
    auto options = quick_printer();
    options.print_duration = std::chrono::minutes(10);  // never ends during a test
    if (printing) options.autoprint_file = kCube;
    printer_sim::GcodeFile awkward = options.files.front();
    awkward.filename = kAwkward;
    options.files.push_back(awkward);
    return options;
}

// The result lines, by printer id ("a: paused" -> {"a", "paused"}).
std::map<std::string, std::string> results(const std::string& out) {
    std::map<std::string, std::string> by_id;
    std::size_t start = 0;
    for (auto end = out.find('\n'); end != std::string::npos; start = end + 1, end = out.find('\n', start)) {
        const std::string line = out.substr(start, end - start);
        const auto colon = line.find(": ");
        EXPECT_NE(colon, std::string::npos) << line;
        if (colon == std::string::npos) continue;
        EXPECT_EQ(by_id.count(line.substr(0, colon)), 0u) << "two lines for one printer: " << out;
        by_id[line.substr(0, colon)] = line.substr(colon + 2);
    }
    EXPECT_EQ(start, out.size()) << "output ends with a whole line";
    return by_id;
}

std::size_t count_requests(const printer_sim::Printer& printer, const std::string& method) {
    std::size_t n = 0;
    for (const auto& frame : printer.received()) n += frame.text.find("\"method\":\"" + method + "\"") != std::string::npos;
    return n;
}

class MonitorControl : public ::testing::Test {
protected:
    printer_sim::Printer a{farm_printer(true)};
    printer_sim::Printer b{farm_printer(true)};
    printer_sim::Printer c{farm_printer(true)};
    std::vector<std::string> all() const {
        return {"a=" + a.address(), "b=" + b.address(), "c=" + c.address()};
    }
    static std::vector<std::string> with(std::vector<std::string> head, const std::vector<std::string>& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    }
};

TEST_F(MonitorControl, PauseResumeAndCancelActOnEveryPrinterNamed) {
    RunResult r = run_monitor(with({"pause"}, all()));
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(results(r.out), (std::map<std::string, std::string>{{"a", "paused"}, {"b", "paused"}, {"c", "paused"}}));
    for (auto* p : {&a, &b, &c}) EXPECT_EQ(p->print_state(), "paused");

    r = run_monitor(with({"resume"}, all()));
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(results(r.out),
              (std::map<std::string, std::string>{{"a", "printing again"}, {"b", "printing again"}, {"c", "printing again"}}));
    for (auto* p : {&a, &b, &c}) EXPECT_EQ(p->print_state(), "printing");

    r = run_monitor(with({"cancel"}, {"a=" + a.address(), "b=" + b.address()}));
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(results(r.out), (std::map<std::string, std::string>{{"a", "cancelled"}, {"b", "cancelled"}}));
    EXPECT_EQ(a.print_state(), "cancelled");
    EXPECT_EQ(c.print_state(), "printing") << "only the printers named are touched";
    EXPECT_EQ(count_requests(c, "printer.print.cancel"), 0u);
}

TEST_F(MonitorControl, PrintStartsAFileWithQuotesAndNonAsciiOnEachPrinter) {
    for (auto* p : {&a, &b}) p->run_gcode("CANCEL_PRINT");
    const RunResult r = run_monitor({"print", "a=" + a.address(), "b=" + b.address(), kAwkward});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::string shown = "printing \"" + kAwkward + "\"";
    EXPECT_EQ(results(r.out), (std::map<std::string, std::string>{{"a", shown}, {"b", shown}}));
    const std::string sent =
        R"({"jsonrpc":"2.0","method":"printer.print.start","params":{"filename":"bracket \"v2\" f)"
        "\xC3\xBC" R"(r Jos)" "\xC3\xA9" R"(.gcode"},"id":0})";
    for (auto* p : {&a, &b}) {
        EXPECT_TRUE(p->wait_for_text(sent, 2s));
        EXPECT_EQ(p->print_state(), "printing");
        EXPECT_NE(p->status_text().find(R"("filename":"bracket \"v2\")"), std::string::npos);
    }
}

TEST_F(MonitorControl, AMixedFarmGivesEachPrinterItsOwnResultAndTheWorstStatus) {
    // a: printing, pauses. b: idle, refuses. c: never answers a pause.
    // d: nothing listens.
    b.run_gcode("CANCEL_PRINT");
    printer_sim::MethodFault drop;
    drop.drop = true;
    c.set_method_fault("printer.print.pause", drop);
    printer_sim::Printer d(quick_printer());
    d.refuse_connections(true);
    const RunResult r = run_monitor(with({"--json", "--timeout", "1", "pause"}, with(all(), {"d=" + d.address()})));
    EXPECT_EQ(r.exit_code, 4) << "the highest of 0, 4, 3 and 2: " << r.out << r.err;
    std::map<std::string, json> by_id;
    for (const auto& line : json_lines(r.out)) {
        EXPECT_EQ(line.value("event", ""), "result");
        EXPECT_EQ(line.value("command", ""), "pause");
        by_id[line.value("device_id", "")] = line;
    }
    ASSERT_EQ(by_id.size(), 4u) << r.out;
    EXPECT_EQ(by_id["a"].value("outcome", ""), "done");
    EXPECT_EQ(by_id["a"].value("exit_status", -1), 0);
    EXPECT_TRUE(by_id["a"].value("sent", false));
    EXPECT_FALSE(by_id["b"].value("sent", true));
    EXPECT_TRUE(by_id["c"].value("sent", false));
    EXPECT_FALSE(by_id["d"].value("sent", true));
    EXPECT_EQ(by_id["b"].value("outcome", ""), "refused");
    EXPECT_EQ(by_id["b"].value("exit_status", -1), 4);
    EXPECT_EQ(by_id["b"].value("message", ""), "refused: not printing (cancelled)");
    EXPECT_EQ(by_id["c"].value("outcome", ""), "timeout");
    EXPECT_EQ(by_id["c"].value("exit_status", -1), 3);
    EXPECT_EQ(by_id["c"].value("message", ""), "no result within 1 s (still printing)");
    EXPECT_EQ(by_id["d"].value("outcome", ""), "unreachable");
    EXPECT_EQ(by_id["d"].value("exit_status", -1), 2);
    EXPECT_EQ(a.print_state(), "paused");
    EXPECT_EQ(c.print_state(), "printing");
    EXPECT_EQ(count_requests(b, "printer.print.pause"), 0u) << "a refused printer is not asked";
}

TEST_F(MonitorControl, AMissingFileAndABusyPrinterAreRefused) {
    b.run_gcode("CANCEL_PRINT");
    const RunResult r = run_monitor({"print", "a=" + a.address(), "b=" + b.address(), "not here.gcode"});
    EXPECT_EQ(r.exit_code, 4) << r.out << r.err;
    const auto lines = results(r.out);
    EXPECT_EQ(lines.at("a"), "refused: busy, printing \"" + kCube + "\"");
    EXPECT_EQ(lines.at("b"), "refused: no file \"not here.gcode\" on the printer");
    EXPECT_EQ(count_requests(b, "printer.print.start"), 0u);
}

TEST_F(MonitorControl, TimeoutAndUnreachableAloneGiveTheirOwnStatus) {
    printer_sim::MethodFault drop;
    drop.drop = true;
    a.set_method_fault("printer.print.cancel", drop);
    RunResult r = run_monitor({"cancel", "--timeout", "0.5", "a=" + a.address(), "b=" + b.address()});
    EXPECT_EQ(r.exit_code, 3) << r.out << r.err;
    EXPECT_EQ(results(r.out).at("b"), "cancelled");

    c.refuse_connections(true);
    r = run_monitor({"cancel", "b=" + b.address(), "c=" + c.address()});
    EXPECT_EQ(r.exit_code, 4) << "the refusal outweighs the unreachable printer: " << r.out << r.err;
    auto lines = results(r.out);
    EXPECT_EQ(lines.at("b"), "refused: no print to cancel (cancelled)");
    EXPECT_EQ(lines.at("c"), "cannot reach " + c.address());

    r = run_monitor({"--json", "cancel", "c=" + c.address()});
    EXPECT_EQ(r.exit_code, 2) << r.out << r.err;
    const auto only = json_lines(r.out);
    ASSERT_EQ(only.size(), 1u) << r.out;
    EXPECT_EQ(only[0].value("outcome", ""), "unreachable");
}

TEST_F(MonitorControl, GcodeWithNewlinesIsAcceptedAndAnUnhomedMoveRefused) {
    const RunResult ok = run_monitor({"gcode", "a=" + a.address(), "b=" + b.address(), "G28\nM117 done \"here\""});
    ASSERT_EQ(ok.exit_code, 0) << ok.out << ok.err;
    EXPECT_EQ(results(ok.out),
              (std::map<std::string, std::string>{{"a", "script accepted"}, {"b", "script accepted"}}));
    EXPECT_TRUE(a.wait_for_text(
        R"({"jsonrpc":"2.0","method":"printer.gcode.script","params":{"script":"G28\nM117 done \"here\""},"id":7})", 2s));

    auto idle = quick_printer();
    printer_sim::Printer unhomed(idle);
    const RunResult refused = run_monitor({"--json", "gcode", "u=" + unhomed.address(), "a=" + a.address(), "G1 X10 Y10 Z5"});
    EXPECT_EQ(refused.exit_code, 4) << refused.out << refused.err;
    std::map<std::string, json> by_id;
    for (const auto& line : json_lines(refused.out)) by_id[line.value("device_id", "")] = line;
    EXPECT_EQ(by_id["u"].value("message", ""), "refused: Must home first");
    EXPECT_EQ(by_id["a"].value("outcome", ""), "done");
}

TEST_F(MonitorControl, EstopShutsEveryPrinterDownAndRestartBringsThemBack) {
    const RunResult r = run_monitor(with({"estop"}, all()));
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(results(r.out),
              (std::map<std::string, std::string>{
                  {"a", "firmware shut down"}, {"b", "firmware shut down"}, {"c", "firmware shut down"}}));
    for (auto* p : {&a, &b, &c}) EXPECT_EQ(p->klippy_state(), "shutdown");

    // Down, a printer refuses everything but another emergency stop.
    const RunResult paused = run_monitor({"pause", "a=" + a.address()});
    EXPECT_EQ(paused.exit_code, 4);
    EXPECT_EQ(results(paused.out).at("a").rfind("refused: its firmware is shut down", 0), 0u) << paused.out;

    const RunResult moved = run_monitor({"gcode", "a=" + a.address(), "G28"});
    EXPECT_EQ(moved.exit_code, 4) << moved.out;
    EXPECT_EQ(count_requests(a, "printer.gcode.script"), 0u);

    const RunResult restart = run_monitor({"gcode", "a=" + a.address(), "b=" + b.address(), "firmware_restart"});
    ASSERT_EQ(restart.exit_code, 0) << restart.out << restart.err;
    EXPECT_EQ(results(restart.out),
              (std::map<std::string, std::string>{{"a", "script accepted"}, {"b", "script accepted"}}));
    const RunResult print = run_monitor({"--connect-timeout", "20", "print", "a=" + a.address(), kCube});
    EXPECT_EQ(print.exit_code, 0) << "back, and idle: " << print.out << print.err;
    EXPECT_EQ(a.klippy_state(), "ready");
    EXPECT_EQ(c.klippy_state(), "shutdown");
}

TEST_F(MonitorControl, CtrlCStopsAtOnceAndSendsNothingMore) {
    // b never finishes its handshake, so the command is still waiting for it
    // when the interrupt comes.
    b.stall_handshakes(true);
    ChildProcess monitor(monitor_command({"pause", "--connect-timeout", "60", "a=" + a.address(), "b=" + b.address()}));
    ASSERT_TRUE(a.wait_for_text(R"({"jsonrpc":"2.0","method":"printer.print.pause","params":{},"id":0})", 10s));
    monitor.send_signal(SIGINT);
    EXPECT_EQ(monitor.wait_exit(5s), 130) << monitor.out() << monitor.err();
    EXPECT_EQ(monitor.err(), "pemra-monitor: interrupted\n");
    b.stall_handshakes(false);
    EXPECT_EQ(count_requests(b, "printer.print.pause"), 0u);
    EXPECT_EQ(count_requests(a, "printer.print.pause"), 1u);
}

}  // namespace
}  // namespace monitor_test
