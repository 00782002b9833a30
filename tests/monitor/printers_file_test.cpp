// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Printers from a file (or standard input) beside printers on the command
// line, and every way such a file can be wrong.

#include <fstream>
#include <string>
#include <vector>

#include "monitor_fixture.h"
#include "testkit/scratch_dir.h"

namespace monitor_test {
namespace {

class MonitorPrintersFile : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = dir.path() + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    testkit::ScratchDir dir{"printers-file-test"};
};

TEST_F(MonitorPrintersFile, BadFilesAreRefusedNamingTheFileAndTheLine) {
    const std::string ok = "# the farm\n\n  a=127.0.0.1:7125  \n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {ok + "my printer=127.0.0.1:7126\n", ", line 4: printer id 'my printer' may not contain spaces"},
        {ok + "b=c=127.0.0.1:7126\n", ", line 4: 'b=c=127.0.0.1:7126' has more than one '='"},
        {ok + "b=127.0.0.1:70000\n", ", line 4: bad address '127.0.0.1:70000' for printer b: the port must be"},
        {ok + "b 127.0.0.1:7126\n", ", line 4: 'b 127.0.0.1:7126' is not a printer"},
        {ok + "b=127.0.0.1:7126\na=127.0.0.1:7127\n", ", line 5: printer id 'a' is given twice"},
        {"", " names no printer"},
        {"# only a comment\n\n", " names no printer"},
    };
    int n = 0;
    for (const auto& [text, words] : cases) {
        SCOPED_TRACE(text);
        const std::string path = write("farm" + std::to_string(++n) + ".txt", text);
        const RunResult r = run_monitor({"pause", "--printers", path});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_ONE_LINE_ERROR(r, path + words);
    }
}

TEST_F(MonitorPrintersFile, MissingFoldersAndClashesWithTheCommandLineAreRefused) {
    RunResult r = run_monitor({"--printers", dir.path() + "/nope.txt"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_ONE_LINE_ERROR(r, "cannot read printers file " + dir.path() + "/nope.txt: No such file or directory");

    r = run_monitor({"estop", "--printers", dir.path()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_ONE_LINE_ERROR(r, "cannot read printers file " + dir.path() + ": it is a folder");

    const std::string path = write("farm.txt", "a=127.0.0.1:7125\n");
    r = run_monitor({"cancel", "a=127.0.0.1:7126", "--printers", path});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_ONE_LINE_ERROR(r, "printer id 'a' is given twice (in " + path + ")");

    r = run_monitor({"files", "--printers", path});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_ONE_LINE_ERROR(r, "--printers does not apply to files");

    r = run_monitor({"print", "a=127.0.0.1:7125", "b=127.0.0.1:7126"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_ONE_LINE_ERROR(r, "missing operand: 'b=127.0.0.1:7126' is a printer; usage is print");

    // Standard input is /dev/null here.
    r = run_monitor({"pause", "--printers", "-"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_ONE_LINE_ERROR(r, "printers file (standard input) names no printer");
}

TEST_F(MonitorPrintersFile, PrintersFromStandardInputJoinThoseOnTheCommandLine) {
    auto printing = quick_printer();
    printing.print_duration = std::chrono::minutes(10);
    printing.autoprint_file = "calibration_cube_0.2mm_PLA.gcode";
    printer_sim::Printer busy(printing);
    printer_sim::Printer idle(quick_printer());
    const std::string path = write("stdin.txt", "# fed through a pipe\nidle=" + idle.address() + "\n");
    // The shell puts the file on the monitor's standard input.
    std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$@\" < '" + path + "'", "sh"};
    for (const auto& arg : monitor_command({"pause", "busy=" + busy.address(), "--printers", "-"})) argv.push_back(arg);
    ChildProcess monitor(argv);
    EXPECT_EQ(monitor.wait_exit(30s), 4) << monitor.out() << monitor.err();
    EXPECT_NE(monitor.out().find("busy: paused\n"), std::string::npos) << monitor.out();
    EXPECT_NE(monitor.out().find("idle: refused: not printing (standby)\n"), std::string::npos) << monitor.out();
    EXPECT_EQ(line_count(monitor.out()), 2u) << monitor.out();
    EXPECT_EQ(busy.print_state(), "paused");
}

}  // namespace
}  // namespace monitor_test
