// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The live view of a farm of 100 simulated printers named in a file, in an
// 80x24 terminal: every frame fits, printers in trouble come first, what
// does not fit is counted, repeated notices are folded.

#include <csignal>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "monitor_fixture.h"
#include "printer_sim/printer_group.h"
#include "testkit/scratch_dir.h"

namespace monitor_test {
namespace {

constexpr int kColumns = 80;
constexpr int kRows = 24;

// The frames the view drew, each as its lines without terminal codes.
std::vector<std::vector<std::string>> frames_of(const std::string& out) {
    static const std::regex codes("\x1b\\[[0-9;?]*[A-Za-z]|\r");
    std::vector<std::vector<std::string>> frames;
    std::size_t start = 0;
    for (auto end = out.find("\x1b[J", start); end != std::string::npos; end = out.find("\x1b[J", start)) {
        const std::string text = std::regex_replace(out.substr(start, end - start), codes, "");
        start = end + 3;
        std::vector<std::string> lines;
        std::size_t from = 0;
        for (auto nl = text.find('\n'); nl != std::string::npos; from = nl + 1, nl = text.find('\n', from)) {
            lines.push_back(text.substr(from, nl - from));
        }
        frames.push_back(std::move(lines));
    }
    return frames;
}

int columns(const std::string& line) {
    int n = 0;
    for (unsigned char c : line) n += (c & 0xC0) != 0x80;
    return n;
}

std::string id_of(int i) {
    char text[8];
    std::snprintf(text, sizeof text, "p%03d", i);
    return text;
}

TEST(MonitorFarmView, AHundredPrintersInAnEightyByTwentyFourTerminal) {
    // p000-p024 print, p030-p031 are paused, p040-p042 are halted by an
    // error, p090-p094 refuse connections, the rest stand by.
    printer_sim::PrinterGroup farm;
    const std::string kCube = "calibration_cube_0.2mm_PLA.gcode";
    for (int i = 0; i < 100; ++i) {
        auto options = quick_printer();
        options.update_interval = std::chrono::milliseconds(250);
        options.print_duration = std::chrono::minutes(10);
        if (i < 25 || i == 30 || i == 31) options.autoprint_file = kCube;
        if (i >= 40 && i < 43) options.klippy_state = "error";
        farm.add(options);
    }
    for (int i = 30; i < 32; ++i) ASSERT_EQ(farm.at(i).run_gcode("PAUSE"), "ok");
    for (int i = 90; i < 95; ++i) farm.at(i).refuse_connections(true);

    testkit::ScratchDir dir("farm-view-test");
    const std::string path = dir.path() + "/farm.txt";
    {
        std::ofstream file(path);
        file << "# a farm of 100\n";
        for (int i = 0; i < 100; ++i) file << id_of(i) << "=" << farm.at(i).address() << "\n";
    }

    testkit::ChildOptions on_terminal;
    on_terminal.stdout_to = testkit::ChildOutput::terminal;
    // The shell sets the terminal's size, then becomes the monitor.
    std::vector<std::string> argv{"/bin/sh", "-c",
                                  "stty cols " + std::to_string(kColumns) + " rows " + std::to_string(kRows) +
                                      " <&1 && exec \"$@\"",
                                  "sh"};
    for (const auto& arg : monitor_command({"--printers", path})) argv.push_back(arg);
    ChildProcess monitor(argv, on_terminal);
    // Watched until every printer is counted where it stands and an
    // unreachable printer's notice has come back at least once.
    const std::string summary = "100 printers: 95 online, 25 printing, 2 paused, 3 in trouble, 5 offline";
    EXPECT_TRUE(monitor.wait_for_stdout(
        [&](const std::string& out) {
            return out.find(summary) != std::string::npos &&
                   (out.find(" (\u00d7") != std::string::npos || out.find(" (x") != std::string::npos);
        },
        30s))
        << monitor.out().substr(monitor.out().size() > 3000 ? monitor.out().size() - 3000 : 0);
    monitor.send_signal(SIGTERM);
    ASSERT_EQ(monitor.wait_exit(10s), 0) << monitor.err();

    const auto frames = frames_of(monitor.out());
    ASSERT_GE(frames.size(), 2u);
    for (std::size_t f = 0; f < frames.size(); ++f) {
        EXPECT_LE(frames[f].size(), static_cast<std::size_t>(kRows - 1)) << "frame " << f;
        for (const auto& line : frames[f]) EXPECT_LT(columns(line), kColumns) << "frame " << f << ": " << line;
    }

    const auto& last = frames.back();
    ASSERT_GE(last.size(), 4u);
    EXPECT_EQ(last[1], summary);
    std::size_t header = 0;
    while (header < last.size() && last[header].rfind("PRINTER", 0) != 0) ++header;
    ASSERT_LT(header + 11, last.size()) << "the table";
    // Offline, then halted, then paused, then printing, each by id.
    const std::vector<std::string> first = {"p090", "p091", "p092", "p093", "p094", "p040",
                                            "p041", "p042", "p030", "p031", "p000"};
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(last[header + 1 + i].substr(0, 5), first[i] + " ") << "row " << i << ": " << last[header + 1 + i];
    }
    std::size_t more = header + 1;
    while (more < last.size() && last[more].find(" more") == std::string::npos) ++more;
    ASSERT_LT(more, last.size()) << "a line says what does not fit";
    EXPECT_TRUE(std::regex_match(last[more], std::regex("[0-9]+ more: [0-9]+ printing, 65 idle"))) << last[more];

    // The offline printers are retried every second; their notices come
    // back folded, with a count.
    const std::regex count("\\((\u00d7|x)[0-9]+\\)$");
    bool folded = false;
    for (const auto& frame : frames) {
        for (const auto& line : frame) folded = folded || std::regex_search(line, count);
    }
    EXPECT_TRUE(folded) << monitor.out().substr(monitor.out().size() > 3000 ? monitor.out().size() - 3000 : 0);
}

}  // namespace
}  // namespace monitor_test
