// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The one-shot commands against a simulated printer: what they print and
// the exit status they end with.

#include <set>
#include <string>

#include "monitor_fixture.h"
#include "printer_sim/files.h"

namespace monitor_test {
namespace {

const std::string kCube = "calibration_cube_0.2mm_PLA.gcode";

class MonitorCommands : public ::testing::Test {
protected:
    std::string target() const { return "p=" + printer.address(); }
    printer_sim::Printer printer{quick_printer()};
};

TEST_F(MonitorCommands, FilesPrintsATableOfNameSizeAndModified) {
    const RunResult r = run_monitor({"files", target()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto files = printer_sim::default_files();
    ASSERT_EQ(line_count(r.out), files.size() + 2) << "a header, a line per file and a count:\n" << r.out;
    EXPECT_EQ(r.out.rfind("NAME ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("  SIZE  MODIFIED\n"), std::string::npos) << r.out;
    for (const auto& file : files) {
        const auto at = r.out.find("\n" + file.filename + " ");
        EXPECT_NE(at, std::string::npos) << file.filename << " in\n" << r.out;
    }
    EXPECT_NE(r.out.find(" MB  20"), std::string::npos) << "sizes in MB, dates with the year:\n" << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 8), "4 files\n") << r.out;
}

TEST_F(MonitorCommands, FilesWithJsonPrintsTheReplyTextOnOneLine) {
    const RunResult r = run_monitor({"--json", "files", target()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_EQ(line_count(r.out), 1u) << r.out;
    const json reply = json::parse(r.out);
    EXPECT_EQ(reply.at("result").at("files").size(), printer_sim::default_files().size());
}

TEST_F(MonitorCommands, MetaPrintsTheFilesMetadata) {
    const RunResult r = run_monitor({"meta", target(), kCube});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const json result = json::parse(r.out).at("result");
    EXPECT_EQ(result.value("filename", ""), kCube);
    EXPECT_EQ(result.value("slicer", ""), "SimSlicer");
    EXPECT_DOUBLE_EQ(result.value("estimated_time", 0.0), 1189.0);
    EXPECT_TRUE(printer.wait_for_text(
        R"({"jsonrpc":"2.0","method":"server.files.metadata","params":{"filename":")" + kCube + R"("},"id":5})", 2s));
}

TEST_F(MonitorCommands, MetaOfAMissingFileEndsWithTheTimeoutStatus) {
    const RunResult r = run_monitor({"meta", "--timeout", "0.5", target(), "not-here.gcode"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_ONE_LINE_ERROR(r, "not-here.gcode");
}

TEST_F(MonitorCommands, HistoryPrintsATableOfJobs) {
    const RunResult r = run_monitor({"history", target(), "--limit", "2"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("JOB     FILE ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("  STATUS     DURATION  STARTED\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n000003  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  completed   1:35:41  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n000002  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  cancelled     13:32  "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("000001"), std::string::npos) << "only the page asked for:\n" << r.out;
    ASSERT_GE(r.out.size(), 12u);
    EXPECT_EQ(r.out.substr(r.out.size() - 12), "2 jobs of 3\n") << r.out;
}

TEST_F(MonitorCommands, HistoryHonoursStartLimitAndOrder) {
    RunResult r = run_monitor({"--json", "history", target(), "--limit", "2", "--order", "asc"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    json result = json::parse(r.out).at("result");
    EXPECT_EQ(result.value("count", 0), 3);
    ASSERT_EQ(result.at("jobs").size(), 2u);
    EXPECT_EQ(result["jobs"][0].value("job_id", ""), "000001");
    EXPECT_EQ(result["jobs"][1].value("job_id", ""), "000002");
    EXPECT_TRUE(printer.wait_for_text(
        R"({"jsonrpc":"2.0","method":"server.history.list","params":{"start":0,"limit":2,"order":"asc"},"id":7})", 2s));

    r = run_monitor({"--json", "history", target(), "--start", "1", "--limit", "1", "--order", "desc"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    result = json::parse(r.out).at("result");
    ASSERT_EQ(result.at("jobs").size(), 1u);
    EXPECT_EQ(result["jobs"][0].value("job_id", ""), "000002");
}

TEST_F(MonitorCommands, ASlowReplyEndsWithTheTimeoutStatus) {
    printer_sim::MethodFault slow;
    slow.delay = 5s;
    printer.set_method_fault("server.files.get_directory", slow);
    const RunResult r = run_monitor({"files", "--timeout", "0.5", target()});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_ONE_LINE_ERROR(r, "no reply from printer p within 0.5 s");
}

TEST_F(MonitorCommands, APrinterThatNeverAnswersTheHandshakeEndsWithTheTimeoutStatus) {
    printer.stall_handshakes(true);
    const RunResult r = run_monitor({"files", "--connect-timeout", "0.5", target()});
    printer.stall_handshakes(false);
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_ONE_LINE_ERROR(r, "printer p at " + printer.address() + " did not come up within 0.5 s");
}

class MonitorDelete : public ::testing::Test {
protected:
    static printer_sim::PrinterOptions with_awkward_file() {
        auto options = quick_printer();
        printer_sim::GcodeFile file = options.files.front();
        file.filename = "my file \"v2\".gcode";
        options.files.push_back(file);
        return options;
    }
    std::string target() const { return "p=" + printer.address(); }
    printer_sim::Printer printer{with_awkward_file()};
};

TEST_F(MonitorDelete, DeletesAFileWhoseNameHasQuotesAndSpaces) {
    const std::string name = "my file \"v2\".gcode";
    const RunResult r = run_monitor({"delete", target(), name});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "deleted \"" + name + "\" from p\n");
    EXPECT_TRUE(printer.wait_for_text(
        R"({"jsonrpc":"2.0","method":"server.files.delete_file","params":{"path":"gcodes/my file \"v2\".gcode"},"id":8})",
        2s));

    const RunResult listing = run_monitor({"--json", "files", target()});
    ASSERT_EQ(listing.exit_code, 0) << listing.err;
    const json reply = json::parse(listing.out);
    std::set<std::string> names;
    for (const auto& file : reply.at("result").at("files")) {
        names.insert(file.at("filename").get<std::string>());
    }
    EXPECT_EQ(names.count(name), 0u) << listing.out;
    EXPECT_EQ(names.count(kCube), 1u) << listing.out;
}

TEST_F(MonitorDelete, DeleteWithJsonReportsTheFile) {
    const RunResult r = run_monitor({"--json", "delete", target(), kCube});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const json done = json::parse(r.out);
    EXPECT_EQ(done.value("event", ""), "deleted");
    EXPECT_EQ(done.value("device_id", ""), "p");
    EXPECT_EQ(done.value("file", ""), kCube);
}

TEST_F(MonitorDelete, DeletingAMissingFileEndsWithTheTimeoutStatus) {
    const RunResult r = run_monitor({"delete", "--timeout", "0.5", target(), "not-here.gcode"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_ONE_LINE_ERROR(r, "not-here.gcode");
}

const std::string kMoveUnhomed =
    R"({"jsonrpc":"2.0","method":"printer.gcode.script","params":{"script":"G1 X10 Y100 Z6"},"id":0})";

TEST_F(MonitorCommands, SendPrintsTheHomingNoticeOfAnUnhomedMove) {
    const RunResult r = run_monitor({"send", "--grace", "10", target(), kMoveUnhomed});
    EXPECT_EQ(r.exit_code, 4) << r.err;
    EXPECT_EQ(r.out, "p: Must home first\n");
    EXPECT_TRUE(printer.wait_for_text(kMoveUnhomed, 2s));
}

TEST_F(MonitorCommands, SendWithJsonPrintsTheNoticeAsAnEvent) {
    const RunResult r = run_monitor({"--json", "send", "--grace", "10", target(), kMoveUnhomed});
    EXPECT_EQ(r.exit_code, 4) << r.err;
    const json notice = json::parse(r.out);
    EXPECT_EQ(notice.value("event", ""), "error");
    EXPECT_EQ(notice.value("device_id", ""), "p");
    EXPECT_EQ(notice.value("message", ""), "Must home first");
}

TEST_F(MonitorCommands, SendOfAnAcceptedCommandReportsItSent) {
    const std::string home = R"({"jsonrpc":"2.0","method":"printer.gcode.script","params":{"script":"G28"},"id":0})";
    const RunResult r = run_monitor({"send", "--grace", "0.3", target(), home});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "sent to p; no error notice within 0.3 s\n");
    EXPECT_TRUE(printer.wait_for_text(home, 2s));
    EXPECT_NE(printer.status_text().find(R"("homed_axes":"xyz")"), std::string::npos);
}

TEST_F(MonitorCommands, SendPrintsAReplyRoutedToAHostCallback) {
    const std::string ask =
        R"({"jsonrpc":"2.0","method":"server.files.metadata","params":{"filename":")" + kCube + R"("},"id":5})";
    const RunResult r = run_monitor({"send", target(), ask});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(json::parse(r.out).at("result").value("filename", ""), kCube);
}

}  // namespace
}  // namespace monitor_test
