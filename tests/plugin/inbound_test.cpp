// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// What printers say reaching the host: replies, notifications, prints,
// refusals and firmware restarts, end to end against simulated printers.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent_fixture.h"
#include "protocol/requests.h"

namespace {

using namespace test_host;
using json = nlohmann::json;

class Inbound : public AgentTest {
protected:
    std::string gcode(const std::string& script, int id = 42) {
        return json{{"jsonrpc", "2.0"}, {"method", "printer.gcode.script"}, {"params", {{"script", script}}}, {"id", id}}.dump();
    }
};

TEST_F(Inbound, FileListMetadataAndHistoryReachTheHostAsTheirReplies) {
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);

    agent->request_file_list("p1", "gcodes");
    agent->request_file_metadata("p1", "calibration_cube_0.2mm_PLA.gcode");
    agent->request_history("p1", 1, 1, "asc");
    ASSERT_TRUE(events.wait_kind("history"));
    ASSERT_TRUE(events.wait_kind("file_list"));
    ASSERT_TRUE(events.wait_kind("file_meta"));

    const auto list = json::parse(events.of("file_list").front().text);
    EXPECT_EQ(list["id"], 4);
    EXPECT_EQ(list["result"]["files"].size(), 4u);
    const auto meta = json::parse(events.of("file_meta").front().text);
    EXPECT_EQ(meta["id"], 5);
    EXPECT_EQ(meta["result"]["filename"], "calibration_cube_0.2mm_PLA.gcode");
    const auto history = json::parse(events.of("history").front().text);
    EXPECT_EQ(history["id"], 7);
    EXPECT_EQ(history["result"]["count"], 3);
    ASSERT_EQ(history["result"]["jobs"].size(), 1u);
    EXPECT_EQ(history["result"]["jobs"][0]["job_id"], "000002") << "start 1, ascending";
    EXPECT_EQ(events.of("file_list").front().device_id, "p1");
}

TEST_F(Inbound, DeletingAFileIsAnnouncedByThePrinter) {
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);
    agent->request_delete_file("p1", "phone_stand_0.2mm_PLA.gcode");
    ASSERT_TRUE(events.wait_kind("file_changed"));
    EXPECT_EQ(events.of("file_changed").front().text, "");
    EXPECT_TRUE(printer.wait_for_text(
        R"({"jsonrpc":"2.0","method":"server.files.delete_file","params":{"path":"gcodes/phone_stand_0.2mm_PLA.gcode"},"id":8})", 1s));

    // An empty name would name the whole folder: nothing is sent.
    printer.clear_received();
    agent->request_delete_file("p1", "");
    // A name with quotes stays one path and the printer answers it as such.
    agent->request_delete_file("p1", R"(x"},"path":"gcodes/calibration_cube_0.2mm_PLA.gcode)");
    // Requests after them reach the printer after them.
    ASSERT_TRUE(round_trip("p1", printer));
    const auto frames = frames_with_id(printer, 8);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(json::parse(frames[0].text)["params"]["path"], R"(gcodes/x"},"path":"gcodes/calibration_cube_0.2mm_PLA.gcode)");
    ASSERT_TRUE(events.wait_kind("file_list", 2));
    EXPECT_NE(events.of("file_list").back().text.find("calibration_cube_0.2mm_PLA.gcode"), std::string::npos)
        << "the other file is still there";
}

TEST_F(Inbound, APrintRunsToCompleteWithRisingProgressAndTheLastJob) {
    start_agent();
    printer_sim::PrinterOptions options;
    options.print_duration = 1500ms;
    options.update_interval = 50ms;
    auto& printer = add_printer(options);
    connect_live("p1", printer);
    ASSERT_EQ(printer.start_print("calibration_cube_0.2mm_PLA.gcode"), "ok");
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.print_state == pemra::print_state::complete; }, 15s));
    ASSERT_TRUE(events.wait_kind("history_changed", 1));

    double last_progress = -1;
    bool rose = false, printing_seen = false;
    for (const auto& s : events.statuses("p1")) {
        if (s.print_state != pemra::print_state::printing) continue;
        printing_seen = true;
        EXPECT_EQ(s.machine_state, pemra::machine_state::busy);
        EXPECT_GE(s.virtual_sdcard.progress, last_progress) << "progress never goes back";
        rose |= last_progress >= 0 && s.virtual_sdcard.progress > last_progress;
        last_progress = s.virtual_sdcard.progress;
        EXPECT_EQ(s.print_stats.filename, "calibration_cube_0.2mm_PLA.gcode");
    }
    EXPECT_TRUE(printing_seen);
    EXPECT_TRUE(rose);
    const auto done = events.statuses("p1").back();
    EXPECT_EQ(done.print_state, pemra::print_state::complete);
    EXPECT_EQ(done.machine_state, pemra::machine_state::idle);
    EXPECT_EQ(done.last_job.filename, "calibration_cube_0.2mm_PLA.gcode");
    EXPECT_FALSE(done.last_job.job_id.empty());
    EXPECT_EQ(done.last_job.uuid, "3f1c2a5e-8d41-4b2e-9a77-1c0de4f5a201");
    EXPECT_FALSE(done.last_job.thumbnail_path.empty());
}

TEST_F(Inbound, TheEndOfAJobFollowedLiveReachesTheLastJob) {
    start_agent();
    printer_sim::PrinterOptions options;
    options.print_duration = 800ms;
    options.update_interval = 50ms;
    auto& printer = add_printer(options);
    connect_live("p1", printer);
    ASSERT_EQ(printer.start_print("calibration_cube_0.2mm_PLA.gcode"), "ok");
    // "added" when the print starts, "finished" when it ends.
    ASSERT_TRUE(events.wait_kind("history_changed", 2, 15s));
    const auto finished_at = events.of("history_changed", "p1")[1].at;
    ASSERT_TRUE(events.wait([&](const std::vector<HostEvent>& all) {
        return std::any_of(all.begin(), all.end(), [&](const HostEvent& e) { return e.kind == "status" && e.at > finished_at; });
    }));
    const auto statuses = events.of("status", "p1");
    const auto after = std::find_if(statuses.begin(), statuses.end(), [&](const HostEvent& e) { return e.at > finished_at; });
    ASSERT_NE(after, statuses.end());
    const auto& job = after->status.last_job;
    EXPECT_EQ(job.status, "completed") << "the first report after the end carries it";
    EXPECT_GT(job.end_time, 0.0);
    EXPECT_GT(job.total_duration, 0.0);
    EXPECT_EQ(job.filename, "calibration_cube_0.2mm_PLA.gcode");
    // Before the end the same job was in progress, with no end time.
    const auto before = std::find_if(statuses.begin(), statuses.end(), [](const HostEvent& e) {
        return e.status.last_job.status == "in_progress";
    });
    ASSERT_NE(before, statuses.end());
    EXPECT_EQ(before->status.last_job.job_id, job.job_id);
    EXPECT_EQ(before->status.last_job.end_time, 0.0);
}

TEST_F(Inbound, LastJobIsFetchedWhenAPrintFileIsLoaded) {
    start_agent();
    printer_sim::PrinterOptions options;
    options.print_duration = std::chrono::minutes(10);
    auto& printer = add_printer(options);
    ASSERT_EQ(printer.start_print("boat_test_0.15mm_PETG.gcode"), "ok");
    connect_live("p1", printer);
    ASSERT_TRUE(printer.wait_for_text(std::string(pemra::protocol::requests::kLastHistoryText), 5s));
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return !s.last_job.job_id.empty(); }));
    const auto s = events.statuses("p1").back();
    EXPECT_EQ(s.print_state, pemra::print_state::printing);
    EXPECT_EQ(s.last_job.filename, "boat_test_0.15mm_PETG.gcode") << "the running job is the newest";
}

TEST_F(Inbound, MoveBeforeHomingGivesOneNoticeOnEveryKinematics) {
    for (auto kinematics : {printer_sim::Kinematics::cartesian, printer_sim::Kinematics::delta}) {
        start_agent();
        events.clear();
        printer_sim::PrinterOptions options;
        options.kinematics = kinematics;
        auto& printer = add_printer(options);
        connect_live("p1", printer);
        agent->send("p1", 0, gcode("G1 X10 Y100 Z6"), false);
        ASSERT_TRUE(events.wait_kind("error"));
        ASSERT_TRUE(round_trip("p1", printer));  // the console echo, if any, came before the reply
        ASSERT_EQ(events.of("error").size(), 1u) << "one notice, though the printer also echoes it to the console";
        EXPECT_EQ(events.of("error")[0].text, "Must home first");

        agent->send("p1", 0, gcode("G28"), false);
        agent->send("p1", 0, gcode("G1 X500"), false);
        ASSERT_TRUE(events.wait_kind("error", 2));
        ASSERT_TRUE(round_trip("p1", printer));
        ASSERT_EQ(events.of("error").size(), 2u);
        EXPECT_EQ(events.of("error")[1].text, "Move out of range");
        agent.reset();
    }
}

TEST_F(Inbound, AMessageWithBothRefusalsGivesBothInOrder) {
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);
    printer.send_text(R"({"jsonrpc":"2.0","error":{"code":400,"message":"Must home axis first; Move out of range"},"id":0})");
    ASSERT_TRUE(events.wait_kind("error", 2));
    EXPECT_EQ(events.of("error")[0].text, "Move out of range");
    EXPECT_EQ(events.of("error")[1].text, "Must home first");
}

TEST_F(Inbound, FirmwareRestartIsFollowedBySubscriptionAtOnce) {
    start_agent(no_pass_timings());  // no liveness pass will help
    printer_sim::PrinterOptions options;
    options.speed = 10;  // the restart takes 230 ms
    options.update_interval = 50ms;
    auto& printer = add_printer(options);
    connect_live("p1", printer);
    printer.clear_received();
    events.clear();
    printer.begin_restart();
    ASSERT_TRUE(events.wait_in_order("p1", {[](const MachineStatus& s) { return s.klippy_state == pemra::klippy_state::disconnected; },
                                            [](const MachineStatus& s) { return s.klippy_state == pemra::klippy_state::ready; }}));
    const auto ready_at = events.of("status", "p1").back().at;
    // Fresh status keeps coming after ready, though the restart dropped the subscription.
    ASSERT_TRUE(events.wait(
        [&](const auto& evs) {
            return std::count_if(evs.begin(), evs.end(), [&](auto& e) { return e.kind == "status" && e.at > ready_at; }) >= 3;
        },
        5s));
    ASSERT_TRUE(round_trip("p1", printer));
    EXPECT_EQ(frames_with_id(printer, 2).size(), 1u) << "subscribed once again, not twice";
    EXPECT_EQ(events.statuses("p1").back().machine_state, pemra::machine_state::idle);
}

TEST_F(Inbound, FirmwareStatesReachTheHostWithTheMachineState) {
    start_agent();
    printer_sim::PrinterOptions options;
    options.print_duration = std::chrono::minutes(10);
    auto& printer = add_printer(options);
    connect_live("p1", printer);
    ASSERT_EQ(printer.start_print("calibration_cube_0.2mm_PLA.gcode"), "ok");
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.machine_state == pemra::machine_state::busy; }));
    events.clear();
    printer.klippy_disconnected();
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.klippy_state == pemra::klippy_state::disconnected; }));
    for (const auto& s : events.statuses("p1")) {
        if (s.klippy_state == pemra::klippy_state::disconnected) {
            EXPECT_EQ(s.machine_state, pemra::machine_state::firmware_down) << "no longer reported as printing";
        }
    }
    printer.klippy_ready();
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.klippy_state == pemra::klippy_state::ready && s.machine_state == pemra::machine_state::busy; }));
}

TEST_F(Inbound, ObjectNamesWithListSyntaxStillSubscribe) {
    start_agent();
    printer_sim::PrinterOptions options;
    options.objects = printer_sim::default_objects();
    options.objects.push_back("gcode_macro a,b");
    options.objects.push_back("gcode_macro [odd]");
    auto& printer = add_printer(options);
    connect_live("p1", printer);
    const auto subscribe = frames_with_id(printer, 2);
    ASSERT_FALSE(subscribe.empty());
    const auto request = json::parse(subscribe.front().text);
    EXPECT_TRUE(request["params"]["objects"].contains("gcode_macro a,b"));
    EXPECT_EQ(request["params"]["objects"].size(), options.objects.size());
}

TEST_F(Inbound, FilamentLoadingProgressShowsInTheStatus) {
    start_agent();
    printer_sim::PrinterOptions options;
    options.speed = 20;
    auto& printer = add_printer(options);
    connect_live("p1", printer);
    agent->send("p1", 0, gcode("UNLOAD_FILAMENT"), false);
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.unload_filament_state == 3; }));
    agent->send("p1", 0, gcode("LOAD_FILAMENT"), false);
    ASSERT_TRUE(events.wait_status("p1", [](const MachineStatus& s) { return s.load_filament_state == 3; }));
    EXPECT_EQ(events.statuses("p1").back().unload_filament_state, 3);
}

TEST_F(Inbound, SwitchedOffCallbacksMissEventsAndResume) {
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);
    agent->set_callbacks_suppressed(true);
    on_io([] {});  // a report already under way when callbacks went off is over
    events.clear();
    agent->request_file_list("p1", "gcodes");
    ASSERT_TRUE(printer.wait_for_text(pemra::protocol::requests::file_list("gcodes"), 5s));
    // The reply has been read once its request is no longer pending.
    const auto record = agent->find_connection("p1");
    ASSERT_TRUE(record);
    ASSERT_TRUE(eventually([&] { return record->session.pending.snapshot().count(4) == 0; }));
    on_io([] {});
    EXPECT_EQ(events.count(), 0u);
    agent->set_callbacks_suppressed(false);
    ASSERT_TRUE(events.wait_status("p1", is_live)) << "status reports resume";
    EXPECT_TRUE(events.of("file_list").empty()) << "the suppressed reply is not replayed";
}

TEST_F(Inbound, AHostCallbackThatThrowsStillGetsTheNextReports) {
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);
    // Shared with the callback, which the agent may call until TearDown.
    auto calls = std::make_shared<std::atomic<int>>(0);
    agent->set_machine_status_changed_fn([calls](std::string, MachineStatus) {
        ++*calls;
        throw std::runtime_error("host bug");
    });
    ASSERT_TRUE(eventually([&] { return calls->load() >= 3; }, 5s))
        << "a callback that threw is called again for the following status frames";
    agent->request_file_list("p1", "gcodes");
    ASSERT_TRUE(events.wait_kind("file_list"));
    EXPECT_EQ(agent->find_connection("p1")->current_state(), pemra::ConnectionState::open);
    EXPECT_TRUE(LogEnvironment::wait_for("host callback failed for p1: host bug"));
}

TEST_F(Inbound, ErrorRepliesToHostRequestsAreLogged) {
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);
    agent->request_file_metadata("p1", "missing.gcode");
    ASSERT_TRUE(printer.wait_for_text(pemra::protocol::requests::file_metadata("missing.gcode"), 5s));
    EXPECT_TRUE(LogEnvironment::wait_for("error reply to request 5 from p1: Metadata not available for missing.gcode"));
    EXPECT_TRUE(events.of("file_meta").empty()) << "the host hears nothing";
}

TEST_F(Inbound, FramesLongerThan64KiBTravelBothWays) {
    // Lengths past 64 KiB take the frame header's 64-bit form: a request and
    // its reply that long still arrive whole and byte for byte.
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);
    const std::string name = std::string(70000, 'n') + ".gcode";
    agent->request_file_metadata("p1", name);
    ASSERT_TRUE(printer.wait_for_text(pemra::protocol::requests::file_metadata(name), 5s));
    EXPECT_TRUE(LogEnvironment::wait_for("error reply to request 5 from p1: Metadata not available for " + name));
}

TEST_F(Inbound, PrinterTextCannotForgeLogRecords) {
    start_agent(no_pass_timings());
    auto& printer = add_printer();
    connect_live("forger", printer);
    printer.send_text("{\"jsonrpc\":\"2.0\",\r\n\"method\":\"notify_nothing\"}");
    printer.close_connections(4000, "bye\r\n[error]\t2026-01-01 00:00:00.000000[Thread 0x1]:forged");
    ASSERT_TRUE(events.wait_status("forger", is_offline));
    EXPECT_TRUE(LogEnvironment::wait_for(R"(close reason: bye\r\n[error])"));
    const std::string log = LogEnvironment::text();
    EXPECT_NE(log.find(R"(\r\n"method":"notify_nothing")"), std::string::npos);
    std::istringstream lines(log);
    // Only the head of each record is matched: std::regex recurses per
    // character, and some records hold whole subscription replies.
    const std::regex head(R"(\[(debug|info|error)\]\t\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{6}\[Thread [^\]]+\]:)");
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_search(line.substr(0, 120), head, std::regex_constants::match_continuous)) << line.substr(0, 120);
        EXPECT_NE(line.rfind("[error]\t2026-01-01 00:00:00.000000", 0), 0u) << "a record began inside printer text";
    }
}

TEST_F(Inbound, HostileFramesFromAPrinterLeaveItsConnectionWorking) {
    // Without liveness passes: the test's 60 ms pong timeout is shorter than
    // a sanitizer build of the printer takes to send the 2 MiB frame, and a
    // link ended for a late pong would drop the request below.
    start_agent(no_pass_timings());
    auto& printer = add_printer();
    connect_live("p1", printer);
    printer.send_text("not json at all");
    printer.send_text(R"({"jsonrpc":"2.0","method":"notify_proc_stat_update","params":[{"cpu":1,]})");
    printer.send_text(std::string(100000, '['));
    printer.send_text(R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"extruder":{"temperature":"hot"}}]})");
    printer.send_text(R"({"id":"4","result":{}})");
    printer.send_binary(std::string("\x00\x01\x02", 3));
    printer.send_oversized(2 * 1024 * 1024);
    agent->request_file_list("p1", "gcodes");
    ASSERT_TRUE(events.wait_kind("file_list")) << "the connection still reads";
    EXPECT_EQ(agent->find_connection("p1")->current_state(), pemra::ConnectionState::open);
    ASSERT_TRUE(LogEnvironment::wait_for("status update from p1 abandoned"));
    const auto log = LogEnvironment::text();
    int invalid = 0;
    for (auto at = log.find("frame from p1 dropped: not valid JSON"); at != std::string::npos;
         at = log.find("frame from p1 dropped: not valid JSON", at + 1)) {
        ++invalid;
    }
    EXPECT_EQ(invalid, 2) << "the broken host-statistics frame is reported like any other";
    EXPECT_NE(log.find("nested deeper than"), std::string::npos);
    EXPECT_NE(log.find("status update from p1 abandoned: \"extruder\".\"temperature\" is string"), std::string::npos);
}

TEST_F(Inbound, TextOfEveryUtf8LengthReachesTheHostUnchanged) {
    start_agent();
    auto& printer = add_printer();
    connect_live("p1", printer);
    const std::string message = "Pr\xc3\xaat \xe2\x9c\x93 \xf0\x9f\x96\xa8";  // two, three and four bytes
    printer.send_text(R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"webhooks":{"state_message":")" +
                      message + R"("}},1.0]})");
    ASSERT_TRUE(events.wait([&](const std::vector<HostEvent>& all) {
        return std::any_of(all.begin(), all.end(),
                           [&](const HostEvent& e) { return e.kind == "status" && e.status.webhooks.state_message == message; });
    }));
    EXPECT_TRUE(printer.closes().empty());
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
