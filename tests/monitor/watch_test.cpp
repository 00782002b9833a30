// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Watching printers: the --json event stream, the plain log off a terminal,
// the live view on one, the demo, and an orderly end on a signal.

#include <csignal>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "monitor_fixture.h"

namespace monitor_test {
namespace {

bool has_status(const std::string& out, const std::string& key, int value) {
    for (const auto& line : json_lines(out)) {
        if (line.value("event", "") == "status" && line.at("status").value(key, -1) == value) return true;
    }
    return false;
}

// Whether the stream so far holds a status showing the printer up.
bool shows_up(const std::string& out) {
    for (const auto& line : json_lines(out)) {
        if (line.value("event", "") != "status") continue;
        const json& s = line.at("status");
        if (s.value("connect_state", 0) == 1 && s.value("machine_state", 0) >= 4) return true;
    }
    return false;
}

TEST(MonitorWatch, JsonFollowsAPrintFromStartToCompletion) {
    auto options = quick_printer();
    options.print_duration = 1500ms;
    printer_sim::Printer printer(options);
    ChildProcess monitor(monitor_command({"--json", "p=" + printer.address()}));
    ASSERT_TRUE(monitor.wait_for_stdout(shows_up, 10s)) << monitor.err();

    ASSERT_EQ(printer.start_print("calibration_cube_0.2mm_PLA.gcode"), "ok");
    ASSERT_TRUE(monitor.wait_for_stdout([](const std::string& out) { return has_status(out, "print_state", 4); }, 15s))
        << monitor.err();
    monitor.send_signal(SIGTERM);
    ASSERT_EQ(monitor.wait_exit(10s), 0) << monitor.err();

    ASSERT_FALSE(monitor.out().empty());
    EXPECT_EQ(monitor.out().back(), '\n') << "the stream ends with a whole line";
    const auto lines = json_lines(monitor.out());
    std::vector<double> printing_progress;
    bool complete_after_printing = false;
    for (const auto& event : events_of(lines, "status", "p")) {
        const json& s = event.at("status");
        if (s.value("print_state", 0) == 2) {
            EXPECT_FALSE(complete_after_printing) << "printing again after completion";
            printing_progress.push_back(s.at("virtual_sdcard").value("progress", -1.0));
            EXPECT_EQ(s.at("print_stats").value("filename", ""), "calibration_cube_0.2mm_PLA.gcode");
        } else if (s.value("print_state", 0) == 4 && !printing_progress.empty()) {
            complete_after_printing = true;
        }
    }
    ASSERT_GE(printing_progress.size(), 3u);
    for (std::size_t i = 1; i < printing_progress.size(); ++i) {
        EXPECT_GE(printing_progress[i], printing_progress[i - 1]) << "progress went back at status " << i;
    }
    EXPECT_GT(printing_progress.back(), printing_progress.front());
    EXPECT_TRUE(complete_after_printing);
    EXPECT_FALSE(events_of(lines, "history_changed", "p").empty());
    for (const auto& event : lines) {
        EXPECT_EQ(event.value("device_id", ""), "p");
        EXPECT_TRUE(event.contains("time"));
    }
}

TEST(MonitorWatch, TheDemoShowsTwoPrintersOneOfThemPrinting) {
    const RunResult r = run_monitor({"--demo", "--duration", "3", "--json"}, 20s);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), '\n');
    const auto lines = json_lines(r.out);
    std::set<std::string> up;
    bool printing = false;
    for (const auto& event : events_of(lines, "status")) {
        const json& s = event.at("status");
        if (s.value("connect_state", 0) == 1 && s.value("machine_state", 0) >= 4) up.insert(event.value("device_id", ""));
        printing = printing || s.value("print_state", 0) == 2;
    }
    EXPECT_EQ(up.size(), 2u);
    EXPECT_TRUE(printing);
}

TEST(MonitorWatch, OffATerminalEachPrinterIsAPlainLine) {
    printer_sim::Printer printer(quick_printer());
    ChildProcess monitor(monitor_command({"p=" + printer.address()}));
    const std::string last_job = "p: last job: boat_test_0.15mm_PETG.gcode completed 1:35:41\n";
    const std::string row = "p: online, firmware ready, host test-printer, standby, nozzle 25, bed 25, fan 0%";
    EXPECT_TRUE(monitor.wait_for_stdout(
        [&](const std::string& out) {
            return out.find(last_job) != std::string::npos && out.find(row) != std::string::npos;
        },
        10s))
        << monitor.out();
    monitor.send_signal(SIGTERM);
    ASSERT_EQ(monitor.wait_exit(10s), 0) << monitor.err();
    EXPECT_EQ(monitor.out().find('\x1b'), std::string::npos) << "no terminal codes in a pipe";
    EXPECT_NE(monitor.out().find("p: online\n"), std::string::npos) << monitor.out();
}

TEST(MonitorWatch, OnATerminalTheTableIsRedrawnInPlaceAtABoundedRate) {
    auto options = quick_printer();
    options.update_interval = 20ms;  // fifty reports a second
    options.autoprint_file = "calibration_cube_0.2mm_PLA.gcode";
    printer_sim::Printer printer(options);
    testkit::ChildOptions on_terminal;
    on_terminal.stdout_to = testkit::ChildOutput::terminal;
    ChildProcess monitor(monitor_command({"--duration", "2", "p=" + printer.address()}),
                         on_terminal);
    ASSERT_EQ(monitor.wait_exit(15s), 0) << monitor.err();
    const std::string& out = monitor.out();
    EXPECT_EQ(out.rfind("\x1b[?25l", 0), 0u) << "the cursor is hidden first";
    EXPECT_NE(out.find("PRINTER"), std::string::npos);
    EXPECT_NE(out.find("printing"), std::string::npos);
    EXPECT_NE(out.find("\x1b[32monline"), std::string::npos) << "colours on a terminal";
    std::size_t frames = 0;
    for (auto at = out.find("\x1b[J"); at != std::string::npos; at = out.find("\x1b[J", at + 1)) ++frames;
    EXPECT_GE(frames, 2u);
    EXPECT_LE(frames, 2u * 5u + 2u) << "at most five frames a second";
    // Every frame after the first starts by moving back up over the last one.
    const std::regex up("\r\x1b\\[[0-9]+A");
    const auto ups = std::distance(std::sregex_iterator(out.begin(), out.end(), up), std::sregex_iterator());
    EXPECT_EQ(static_cast<std::size_t>(ups), frames - 1);
    EXPECT_EQ(out.substr(out.size() - 6), "\x1b[?25h") << "the cursor is back at the end";
}

TEST(MonitorWatch, ASignalEndsTheWatchWithAnOrderlyDisconnect) {
    printer_sim::Printer printer(quick_printer());
    ChildProcess monitor(monitor_command({"--json", "p=" + printer.address()}));
    ASSERT_TRUE(monitor.wait_for_stdout(shows_up, 10s)) << monitor.err();
    monitor.send_signal(SIGINT);
    EXPECT_EQ(monitor.wait_exit(10s), 0) << monitor.err();
    // The monitor disconnects the printer (close code 1000) and lets the
    // handshake finish before it destroys the agent: the printer never sees
    // a connection that just vanished (1006).
    EXPECT_TRUE(printer.wait_closes([](const auto& closes) { return !closes.empty(); }, 5s));
    for (const auto& close : printer.closes()) EXPECT_EQ(close.code, 1000) << close.reason;
    EXPECT_EQ(monitor.err(), "");
}

TEST(MonitorWatch, AnUnreachablePrinterShowsAsOffline) {
    printer_sim::Printer printer(quick_printer());
    printer.refuse_connections(true);
    ChildProcess monitor(monitor_command({"--json", "p=" + printer.address()}));
    EXPECT_TRUE(monitor.wait_for_stdout(
        [](const std::string& out) { return has_status(out, "connect_state", 3) && has_status(out, "machine_state", 2); },
        10s))
        << monitor.out();
    monitor.send_signal(SIGTERM);
    EXPECT_EQ(monitor.wait_exit(10s), 0) << monitor.err();
}

TEST(MonitorWatch, APrinterRefusingThisHostAndOneWithoutFirmwareSayWhy) {
    printer_sim::Printer refusing(quick_printer());
    refusing.refuse_unauthorized(true);
    auto options = quick_printer();
    options.klippy_state = "disconnected";
    printer_sim::Printer down(options);
    ChildProcess monitor(monitor_command({"r=" + refusing.address(), "d=" + down.address()}));
    EXPECT_TRUE(monitor.wait_for_stdout(
        [](const std::string& out) {
            return out.find("r: refused this host: Unauthorized\n") != std::string::npos &&
                   out.find("d: online, firmware disconnected") != std::string::npos;
        },
        10s))
        << monitor.out();
    monitor.send_signal(SIGTERM);
    EXPECT_EQ(monitor.wait_exit(10s), 0) << monitor.err();
}

}  // namespace
}  // namespace monitor_test
