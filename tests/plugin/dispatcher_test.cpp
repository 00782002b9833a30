// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// One printer's session with real frame texts, alone: the reports and the
// requests it makes through its uplink, and the pending entries it clears.
// Nothing above the protocol layer is built.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/frame_parser.h"
#include "protocol/printer_session.h"
#include "protocol/requests.h"
#include "testkit/recording_uplink.h"

namespace {

class Dispatcher : public ::testing::Test {
protected:
    void feed(const std::string& text) { session.handle_message(text, parser, uplink); }

    std::vector<std::string> kinds() const {
        std::vector<std::string> out;
        for (const auto& e : events()) out.push_back(e.kind);
        return out;
    }

    std::vector<std::string> requested() const { return uplink.requests(); }

    std::vector<testkit::UplinkCall> events() const { return uplink.reports(); }

    pemra::protocol::FrameParser parser;
    testkit::RecordingUplink uplink;
    pemra::protocol::PrinterSession session{"p1"};
};

using Kinds = std::vector<std::string>;

TEST_F(Dispatcher, RepliesReachTheHostAsTheExactText) {
    const std::string files = R"({"jsonrpc":"2.0","result":{"dirs":[],"files":[{"filename":"a.gcode"}]},"id":4})";
    const std::string meta = R"({"jsonrpc": "2.0", "result": {"filename": "a.gcode"}, "id": 5})";
    const std::string history = R"({"jsonrpc":"2.0","result":{"count":0,"jobs":[]},"id":7})";
    const std::string odd = R"({"jsonrpc":"2.0","result":[],"id":4})";
    feed(files);
    feed(meta);
    feed(history);
    feed(odd);
    ASSERT_EQ(kinds(), (Kinds{"file_list", "file_meta", "history", "file_list"}));
    EXPECT_EQ(events()[0].text, files);
    EXPECT_EQ(events()[0].device_id, "p1");
    EXPECT_EQ(events()[1].text, meta);
    EXPECT_EQ(events()[2].text, history);
    EXPECT_EQ(events()[3].text, odd);
}

TEST_F(Dispatcher, EveryReplyClearsItsPendingEntry) {
    for (int id : {0, 1, 2, 3, 4, 5, 6, 7, 8, -3, 42}) session.pending.remember(id, "x");
    for (int id : {0, 8, -3, 42, 5}) feed(R"({"jsonrpc":"2.0","result":"ok","id":)" + std::to_string(id) + "}");
    feed(R"({"jsonrpc":"2.0","error":{"code":400,"message":"nope"},"id":7})");
    const auto pending = session.pending.snapshot();
    std::vector<int> left;
    for (const auto& [id, m] : pending) left.push_back(id);
    EXPECT_EQ(left, (std::vector<int>{1, 2, 3, 4, 6}));
    EXPECT_EQ(kinds(), Kinds{"file_meta"}) << "only id 5 reaches a callback";
}

TEST_F(Dispatcher, ErrorRepliesRaiseTheTwoNoticesInOrder) {
    feed(R"({"jsonrpc":"2.0","error":{"code":400,"message":"Must home first: 10.000 100.000 6.000 [13.320]"},"id":0})");
    feed(R"({"jsonrpc":"2.0","error":{"code":400,"message":"Must home axis first: 10.000 100.000 6.000 [13.320]"},"id":9})");
    feed(R"({"jsonrpc":"2.0","error":{"code":400,"message":"Must home first / Move out of range"},"id":2})");
    feed(R"({"jsonrpc":"2.0","error":{"code":400,"message":"Move out of range"},"result":{"status":{}},"id":2})");
    feed(R"({"jsonrpc":"2.0","error":"Must home first","id":1})");
    feed(R"({"jsonrpc":"2.0","error":{"code":-32601,"message":"Metadata not available for x.gcode"},"id":5})");
    ASSERT_EQ(kinds(), (Kinds{"error", "error", "error", "error", "error"}));
    EXPECT_EQ(events()[0].text, "Must home first");
    EXPECT_EQ(events()[1].text, "Must home first");
    EXPECT_EQ(events()[2].text, "Move out of range");
    EXPECT_EQ(events()[3].text, "Must home first");
    EXPECT_EQ(events()[4].text, "Move out of range") << "error wins over result";
    EXPECT_TRUE(requested().empty());
}

TEST_F(Dispatcher, ObjectListLeadsToTheSubscriptionRequest) {
    feed(R"({"jsonrpc":"2.0","result":{"objects":["webhooks","extruder","output_pin box_led"]},"id":1})");
    const auto q = requested();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(uplink.calls().back().device_id, "p1");
    EXPECT_EQ(q[0],
              R"({"jsonrpc":"2.0","method":"printer.objects.subscribe","params":{"objects":{"webhooks":null,"extruder":null,"output_pin box_led":null}},"id":2})");
    feed(R"({"jsonrpc":"2.0","result":{"objects":[]},"id":1})");
    EXPECT_EQ(requested().size(), 1u) << "an empty list is not subscribed";
}

TEST_F(Dispatcher, SubscriptionReplyAppliesStatusAndAsksForTheLastJob) {
    feed(R"({"jsonrpc":"2.0","result":{"eventtime":1.0,"status":{"print_stats":{"state":"standby","filename":""}}},"id":2})");
    ASSERT_EQ(kinds(), Kinds{"status"});
    EXPECT_EQ(events()[0].status.print_state, pemra::print_state::standby);
    EXPECT_TRUE(requested().empty()) << "no file loaded: no last-job request";
    feed(R"({"jsonrpc":"2.0","result":{"status":{"print_stats":{"state":"printing","filename":"cube.gcode"}}},"id":2})");
    ASSERT_EQ(requested().size(), 1u);
    EXPECT_EQ(requested()[0], pemra::protocol::requests::kLastHistoryText);
    feed(R"({"jsonrpc":"2.0","result":{"eventtime":1.0},"id":2})");
    feed(R"({"jsonrpc":"2.0","result":null,"id":2})");
    EXPECT_EQ(kinds().size(), 2u) << "no status in the result, nothing applied";
    EXPECT_EQ(session.status_updates.load(), 2);
}

TEST_F(Dispatcher, LastJobOnlyFromANonEmptyHistory) {
    const char* ignored[] = {
        R"({"result":{"count":0,"jobs":[{"filename":"x"}]},"id":6})",
        R"({"result":{"count":-1,"jobs":[{"filename":"x"}]},"id":6})",
        R"({"result":{"count":1,"jobs":[]},"id":6})",
        R"({"result":{"count":1,"jobs":{"0":{"filename":"x"}}},"id":6})",
        R"({"result":{"count":null,"jobs":[{"filename":"x"}]},"id":6})",
        R"({"result":{"jobs":[{"filename":"x"}]},"id":6})",
        R"({"result":null,"id":6})",
    };
    for (const char* frame : ignored) feed(frame);
    EXPECT_EQ(session.status.last_job.filename, "");
    feed(R"({"result":{"count":2,"jobs":[{"filename":"first.gcode","job_id":"2"},{"filename":"second.gcode"}]},"id":6})");
    EXPECT_EQ(session.status.last_job.filename, "first.gcode");
    EXPECT_EQ(session.status.last_job.job_id, "2");
    EXPECT_TRUE(events().empty()) << "the last job is reported with the next status";
}

TEST_F(Dispatcher, NotificationsRouteByMethod) {
    feed(R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"extruder":{"temperature":201.5}},12345.6]})");
    ASSERT_EQ(kinds(), (Kinds{"status", "status"})) << "object and time stamp: two passes";
    EXPECT_EQ(events()[1].status.extruder.temperature, 201.5);
    EXPECT_EQ(session.status_updates.load(), 2);

    uplink.clear();
    feed(R"({"jsonrpc":"2.0","method":"notify_status_update","params":{"extruder":{"temperature":1}}})");
    feed(R"({"jsonrpc":"2.0","method":"notify_proc_stat_update","params":[{"cpu":1}]})");
    feed(R"({"jsonrpc":"2.0","method":"notify_some_future_thing","params":[]})");
    EXPECT_TRUE(events().empty());

    feed(R"({"jsonrpc":"2.0","method":"notify_filelist_changed","params":[{"action":"delete_file"}]})");
    feed(R"({"id":null,"jsonrpc":"2.0","method":"notify_gcode_response","params":["load_filament done"]})");
    EXPECT_EQ(session.status.load_filament_state, 3);
    ASSERT_EQ(kinds(), Kinds{"file_changed"});
    EXPECT_EQ(events()[0].text, "");
}

TEST_F(Dispatcher, HistoryNotificationAppliesAddedJobsAndReportsOnce) {
    feed(R"({"method":"notify_history_changed","params":[{"action":"added","job":{"filename":"a.gcode","status":"in_progress"}},
            {"action":"finished","job":{"filename":"z.gcode"}},{"action":"added","job":{"status":"completed"}},
            {"job":{"filename":"q"}}, 7]})");
    EXPECT_EQ(kinds(), Kinds{"history_changed"});
    EXPECT_EQ(session.status.last_job.filename, "a.gcode");
    EXPECT_EQ(session.status.last_job.status, "completed");
    feed(R"({"method":"notify_history_changed","params":{"action":"added"}})");
    feed(R"({"method":"notify_history_changed"})");
    EXPECT_EQ(kinds().size(), 2u) << "params that are not an array still report; no params do not";
}

TEST_F(Dispatcher, TheEndOfTheLastJobUpdatesItAndOtherJobsDoNot) {
    feed(R"({"method":"notify_history_changed","params":[{"action":"added","job":{"job_id":"000012",
            "filename":"a.gcode","status":"in_progress","end_time":null,"total_duration":0.5}}]})");
    EXPECT_EQ(session.status.last_job.status, "in_progress");
    feed(R"({"method":"notify_history_changed","params":[{"action":"finished","job":{"job_id":"000011",
            "status":"cancelled","end_time":5.0}}]})");
    EXPECT_EQ(session.status.last_job.status, "in_progress") << "another job's end";
    feed(R"({"method":"notify_history_changed","params":[{"action":"finished","job":{"job_id":"000012",
            "status":"completed","end_time":1767490602.64,"total_duration":321.5}}]})");
    EXPECT_EQ(session.status.last_job.status, "completed");
    EXPECT_DOUBLE_EQ(session.status.last_job.end_time, 1767490602.64);
    EXPECT_DOUBLE_EQ(session.status.last_job.total_duration, 321.5);
    EXPECT_EQ(session.status.last_job.filename, "a.gcode");
    feed(R"({"method":"notify_history_changed","params":[{"action":"moved","job":{"job_id":"000012","status":"x"}},
            {"action":"finished","job":{"job_id":12,"status":"y"}}]})");
    EXPECT_EQ(session.status.last_job.status, "completed") << "other actions and a numeric id change nothing";
    EXPECT_EQ(kinds(), (Kinds{"history_changed", "history_changed", "history_changed", "history_changed"}))
        << "one callback per notification; the values wait for the next status report";
}

TEST_F(Dispatcher, OpeningRequestsRefusedForWantOfFirmwareReportItDown) {
    session.status.connect_state = 1;
    feed(R"({"jsonrpc":"2.0","error":{"code":503,"message":"Klippy Host not connected"},"id":3})");
    ASSERT_EQ(kinds(), Kinds{"status"});
    EXPECT_EQ(events()[0].status.klippy_state, pemra::klippy_state::disconnected);
    EXPECT_EQ(events()[0].status.machine_state, pemra::machine_state::firmware_down);
    feed(R"({"jsonrpc":"2.0","error":{"code":503,"message":"Klippy Disconnected"},"id":1})");
    EXPECT_EQ(kinds(), (Kinds{"status", "status"}));
    // The firmware comes up: the name is asked for, then the objects.
    feed(R"({"jsonrpc":"2.0","method":"notify_klippy_ready"})");
    const auto q = requested();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0], pemra::protocol::requests::kPrinterInfoText);
    EXPECT_EQ(q[1], pemra::protocol::requests::kObjectsListText);
}

TEST_F(Dispatcher, OtherErrorRepliesLeaveTheFirmwareStateAlone) {
    session.status.connect_state = 1;
    session.status.klippy_state = 1;
    for (const char* frame : {
             R"({"jsonrpc":"2.0","error":{"code":503,"message":"Klippy Host not connected"},"id":4})",
             R"({"jsonrpc":"2.0","error":{"code":503,"message":"Klippy Host not connected"},"id":0})",
             R"({"jsonrpc":"2.0","error":{"code":503,"message":"Klippy Host not connected"},"id":2})",
             R"({"jsonrpc":"2.0","error":{"code":503,"message":"klippy host not connected"},"id":3})",
             R"({"jsonrpc":"2.0","error":{"code":503},"id":3})",
             R"({"jsonrpc":"2.0","error":{"code":503,"message":null},"id":3})",
             R"({"jsonrpc":"2.0","error":{"code":503,"message":["Klippy Host not connected"]},"id":1})",
             R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Unauthorized"},"id":0})",
             R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Unauthorized"},"id":42})",
             R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Unauthorized"},"id":7})",
             R"({"jsonrpc":"2.0","error":"Unauthorized","id":3})",
         }) {
        feed(frame);
    }
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(session.status.klippy_state, pemra::klippy_state::ready);
}

TEST_F(Dispatcher, HaltedFirmwareIsReadAsShutDown) {
    feed(R"({"jsonrpc":"2.0","result":{"state":"error","state_message":"mcu 'mcu': Unable to connect"},"id":3})");
    EXPECT_EQ(session.status.klippy_state, pemra::klippy_state::shutdown);
    session.status.klippy_state = 1;
    feed(R"({"jsonrpc":"2.0","result":{"state":"startup"},"id":3})");
    EXPECT_EQ(session.status.klippy_state, pemra::klippy_state::ready) << "starting up is a passing state";
    EXPECT_TRUE(events().empty()) << "identity is applied silently";
}

TEST_F(Dispatcher, RefusalOfTheOpeningRequestsIsToldOnce) {
    feed(R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Unauthorized"},"id":3})");
    feed(R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Unauthorized"},"id":1})");
    feed(R"({"jsonrpc":"2.0","error":{"code":-32602,"message":"Unauthorized"},"id":2})");
    ASSERT_EQ(kinds(), Kinds{"error"});
    EXPECT_EQ(events()[0].text, "Unauthorized");
}

TEST_F(Dispatcher, FirmwareNoticesDeriveTheMachineState) {
    feed(R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"print_stats":{"state":"printing"}}]})");
    session.status.connect_state = 1;
    feed(R"({"jsonrpc":"2.0","method":"notify_klippy_disconnected"})");
    feed(R"({"jsonrpc":"2.0","method":"notify_klippy_shutdown"})");
    feed(R"({"jsonrpc":"2.0","method":"notify_klippy_ready"})");
    feed(R"({"jsonrpc":"2.0","method":"notify_klippy_ready"})");
    ASSERT_EQ(events().size(), 5u);
    EXPECT_EQ(events()[1].status.klippy_state, pemra::klippy_state::disconnected);
    EXPECT_EQ(events()[1].status.machine_state, pemra::machine_state::firmware_down) << "not still 'printing'";
    EXPECT_EQ(events()[2].status.klippy_state, pemra::klippy_state::shutdown);
    EXPECT_EQ(events()[2].status.machine_state, pemra::machine_state::firmware_down);
    EXPECT_EQ(events()[3].status.klippy_state, pemra::klippy_state::ready);
    EXPECT_EQ(events()[3].status.machine_state, pemra::machine_state::busy);
    EXPECT_EQ(events()[4].status.klippy_state, pemra::klippy_state::ready) << "reported every time";
    // After a firmware restart the printer has dropped the subscription: the
    // object list is asked for again, as the discovery request (which the
    // agent tracks, as it does every request made through the uplink).
    const auto q = requested();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0], pemra::protocol::requests::kObjectsListText);
}

TEST_F(Dispatcher, IdentityIsAppliedSilently) {
    feed(R"({"jsonrpc":"2.0","result":{"state":"ready","hostname":"pemra","cpu_info":"4 core","software_version":"v1"},"id":3})");
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(session.status.hostname, "Pemra A2");
    EXPECT_EQ(session.status.klippy_state, pemra::klippy_state::ready);
    EXPECT_EQ(session.status.software_version, "v1");
}

TEST_F(Dispatcher, HostileFramesAreDroppedAndLaterFramesStillWork) {
    const std::string deep(20000, '[');
    const char* hostile[] = {
        "not json",
        "{\"id\":4,",
        "{\"id\":4} trailing",
        R"({"id":"4","result":{}})",
        R"({"id":[4],"result":{}})",
        R"({"method":7})",
        R"({"method":"notify_status_update","params":[{"extruder":{"temperature":"hot"}}]})",
        R"({"error":{"message":7},"id":1})",
        R"({"error":{"message":null},"id":1})",
        R"({"result":{"count":"many","jobs":[{}]},"id":6})",
        R"({"result":{"count":1,"jobs":[{"job_id":5}]},"id":6})",
        R"({"result":{"state":"ready","hostname":"pemra","cpu_info":{"cores":4}},"id":3})",
        R"({"method":"notify_history_changed","params":[{"action":5}]})",
        "[]",
        "42",
        "",
    };
    for (const char* frame : hostile) EXPECT_NO_THROW(feed(frame)) << frame;
    EXPECT_NO_THROW(feed(deep));
    EXPECT_NO_THROW(feed("{\"a\":" + std::string(100, '[') + std::string(100, ']') + "}"));
    EXPECT_TRUE(events().empty()) << "none of these reaches the host";
    EXPECT_EQ(session.status.hostname, "pemra") << "a CPU description that is not text keeps the name";

    feed(R"({"jsonrpc":"2.0","result":{"files":[]},"id":4})");
    EXPECT_EQ(kinds(), Kinds{"file_list"});
}

TEST_F(Dispatcher, HugeIdsAreReducedLikeAnyInt32) {
    session.pending.remember(4, "x");
    feed(R"({"jsonrpc":"2.0","result":{},"id":4294967300})");  // 2^32 + 4
    EXPECT_TRUE(session.pending.snapshot().empty());
    EXPECT_EQ(kinds(), Kinds{"file_list"});
    feed(R"({"jsonrpc":"2.0","result":{},"id":1e300})");
    feed(R"({"result":{"count":4294967296,"jobs":[{"filename":"x"}]},"id":6})");
    EXPECT_EQ(session.status.last_job.filename, "") << "a count of 2^32 reduces to 0";
}

}  // namespace
