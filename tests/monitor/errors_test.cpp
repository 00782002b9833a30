// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Bad input of every kind ends with one line on standard error and a
// non-zero status, never a hang or a crash.

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "monitor_fixture.h"

namespace monitor_test {
namespace {

TEST(MonitorErrors, AMissingPluginFileIsReported) {
    const RunResult r = run_monitor({"--plugin", "/nonexistent/libpemra_network.so", "files", "p=127.0.0.1:9"});
    EXPECT_EQ(r.exit_code, 5);
    EXPECT_EQ(r.out, "");
    EXPECT_ONE_LINE_ERROR(r, "/nonexistent/libpemra_network.so");
}

TEST(MonitorErrors, ALibraryWithoutTheExportsIsRefused) {
    const RunResult r = run_monitor({"--plugin", "libm.so.6", "check"});
    EXPECT_EQ(r.exit_code, 5);
    EXPECT_EQ(r.out, "");
    EXPECT_ONE_LINE_ERROR(r, "lacks the export pemra_network_create_agent (and 106 more)");
}

TEST(MonitorErrors, ALibraryLackingOnlyTheLastExportIsRefused) {
    // Every export but the last in the library's own list: the monitor must
    // have looked each name up to find the one gap.
    const RunResult r = run_monitor({"--plugin", PEMRA_PARTIAL_PLUGIN, "check"});
    EXPECT_EQ(r.exit_code, 5);
    EXPECT_ONE_LINE_ERROR(r, std::string("lacks the export ") + PEMRA_PARTIAL_PLUGIN_MISSING + "\n");
}

TEST(MonitorErrors, ARefusingPrinterIsUnreachable) {
    printer_sim::Printer printer(quick_printer());
    printer.refuse_connections(true);
    const RunResult r = run_monitor({"files", "p=" + printer.address()});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "pemra-monitor: cannot reach printer p at " + printer.address() + "\n");
}

TEST(MonitorErrors, APrinterRefusingThisHostSaysSo) {
    printer_sim::Printer printer(quick_printer());
    printer.refuse_unauthorized(true);
    const RunResult r = run_monitor({"files", "p=" + printer.address()});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "pemra-monitor: printer p at " + printer.address() + " refused this host: Unauthorized\n");
}

TEST(MonitorErrors, AddressesThatDoNotParseAreRefused) {
    const std::vector<std::string> bad = {"p=nohost",       "p=host:",       "p=:7125",     "p=host:70000",
                                          "p=host:12ab",    "=127.0.0.1:80", "p=a b:80",    "p=[::1]7125",
                                          "p=host:port:80", "p=host:0"};
    for (const auto& target : bad) {
        SCOPED_TRACE(target);
        const RunResult r = run_monitor({"files", target});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_ONE_LINE_ERROR(r, "(see --help)");
    }
}

TEST(MonitorErrors, AnUnknownCommandIsRefused) {
    const RunResult r = run_monitor({"frobnicate", "p=127.0.0.1:7125"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_ONE_LINE_ERROR(r, "unknown command 'frobnicate'");
}

TEST(MonitorErrors, WrongOperandsAndOptionsAreRefused) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"meta", "p=127.0.0.1:7125"}, "missing operand: usage is meta ID=HOST:PORT FILE"},
        {{"files", "p=127.0.0.1:7125", "extra"}, "too many operands"},
        {{"files"}, "missing operand"},
        {{"--frob", "files", "p=127.0.0.1:7125"}, "unknown option --frob"},
        {{"files", "p=127.0.0.1:7125", "--timeout", "soon"}, "--timeout wants a positive number"},
        {{"history", "p=127.0.0.1:7125", "--order", "sideways"}, "--order wants asc or desc"},
        {{"files", "p=127.0.0.1:7125", "--limit", "3"}, "--limit does not apply to files"},
        {{"send", "p=127.0.0.1:7125", "{not json"}, "not valid JSON"},
        {{"a=127.0.0.1:7125", "a=127.0.0.1:7126"}, "given twice"},
        {{"--duration"}, "--duration needs a value"},
    };
    for (const auto& [args, words] : cases) {
        SCOPED_TRACE(args.front());
        const RunResult r = run_monitor(args);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_ONE_LINE_ERROR(r, words);
    }
}

TEST(MonitorErrors, AnUnopenableTraceFileIsBadInput) {
    const RunResult r = run_monitor({"--plugin-stdout", "/nonexistent/folder/traces", "check"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_ONE_LINE_ERROR(r, "--plugin-stdout: cannot open /nonexistent/folder/traces");
}

TEST(MonitorErrors, RunningOutOfDescriptorsIsNotBadUsage) {
    if (PEMRA_MONITOR_SANITIZED) {
        // The sanitizer runtimes need descriptors of their own (a pipe to
        // probe memory, another to symbolize): with four, they report their
        // own failures in place of the monitor's one line.
        GTEST_SKIP() << "needs a monitor built without sanitizers";
    }
    // Four descriptors: the three standard ones and the one the monitor
    // moves its own output to, none left for /dev/null. The command line is
    // fine, so this must not be reported as the user's mistake. (Whatever
    // the test runner left open above 2 is closed first: the loader needs
    // descriptor 3 to start the program at all.)
    std::vector<std::string> argv{"/bin/sh", "-c",
                                  "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit -n 4 && exec \"$0\" \"$@\""};
    for (const auto& arg : monitor_command({"check"})) argv.push_back(arg);
    ChildProcess child(argv);
    const std::optional<int> exit_code = child.wait_exit(std::chrono::seconds(30));
    RunResult r{exit_code, child.out(), child.err()};
    EXPECT_EQ(r.exit_code, 6);
    EXPECT_EQ(r.out, "");
    EXPECT_ONE_LINE_ERROR(r, "Too many open files");
}

TEST(MonitorErrors, CheckResolvesEveryExportOfTheLibrary) {
    std::ifstream list(PEMRA_NETWORK_EXPORT_LIST);
    std::size_t exports = 0;
    for (std::string name; std::getline(list, name);) exports += !name.empty();
    ASSERT_GT(exports, 0u);

    const RunResult r = run_monitor({"--json", "check"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const json report = json::parse(r.out);
    EXPECT_EQ(report.value("exports", 0u), exports);
    EXPECT_EQ(report.value("plugin", ""), PEMRA_NETWORK_LIBRARY);
    EXPECT_FALSE(report.value("version", "").empty());
}

TEST(MonitorErrors, HelpDescribesEveryCommand) {
    const RunResult r = run_monitor({"--help"});
    ASSERT_EQ(r.exit_code, 0);
    for (const char* word : {"files", "meta", "history", "delete", "send", "--json", "--demo", "--duration",
                             "--timeout", "--plugin", "--log-dir", "--log-level", "--printers"}) {
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
    // Each print control command has its usage line and an example.
    for (const std::string command : {"print", "pause", "resume", "cancel", "estop", "gcode"}) {
        EXPECT_NE(r.out.find("  pemra-monitor [options] " + command + " "), std::string::npos) << command;
        EXPECT_NE(r.out.find("  pemra-monitor " + command + " "), std::string::npos) << command;
    }
}

}  // namespace
}  // namespace monitor_test
