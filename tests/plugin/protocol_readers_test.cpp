// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "protocol/frame_outline.h"
#include "protocol/gcode_notices.h"
#include "protocol/job_record.h"
#include "protocol/printer_identity.h"
#include "protocol/subscription.h"
#include "status/json_read.h"

namespace {

using json = nlohmann::json;
using namespace pemra::protocol;

std::string name_for(const json& result) {
    MachineStatus s;
    apply_printer_info(s, result);
    return s.hostname;
}

TEST(PrinterIdentity, ModelNamesAndMakerWord) {
    struct Row {
        json result;
        const char* expected;
    };
    const Row rows[] = {
        {{{"hostname", "pemra"}, {"cpu_info", "4 core ARM Cortex-A53"}}, "Pemra A2"},
        {{{"hostname", "pemra"}, {"cpu_info", "2 core ARM"}}, "Pemra B2"},
        {{{"hostname", "pemra"}, {"cpu_info", "2 core or 4 core"}}, "Pemra A2"},
        {{{"hostname", "pemra"}, {"cpu_info", "1 core"}}, "pemra"},
        {{{"hostname", "pemra"}}, "pemra"},
        {{{"hostname", "pemra"}, {"cpu_info", 4}}, "pemra"},
        {{{"hostname", "orbit-board"}}, "Pemra C300"},
        {{{"hostname", "orbit-board-2"}}, "orbit-board-2"},
        {{{"hostname", "Pemra"}}, "Pemra "},
        {{{"hostname", "PEMRA X1"}}, "PEMRA X1"},
        {{{"hostname", "PemraX1"}}, "Pemra X1"},
        {{{"hostname", "Pemra X1"}}, "Pemra X1"},
        {{{"hostname", "Pemra  X1"}}, "Pemra  X1"},
        {{{"hostname", "voron-2"}}, "voron-2"},
    };
    for (const auto& row : rows) EXPECT_EQ(name_for(row.result), row.expected) << row.result.dump();
}

TEST(PrinterIdentity, StateNameAndVersion) {
    MachineStatus s;
    s.hostname = "kept";
    apply_printer_info(s, json{{"state", "shutdown"}, {"software_version", "v0.12.0"}});
    EXPECT_EQ(s.klippy_state, 4);
    EXPECT_EQ(s.hostname, "kept") << "no hostname, no renaming";
    EXPECT_EQ(s.software_version, "v0.12.0");
    apply_printer_info(s, json{{"state", "startup"}});
    EXPECT_EQ(s.klippy_state, 4) << "unknown states change nothing";
    apply_printer_info(s, json{{"state", "disconnected"}, {"hostname", nullptr}});
    EXPECT_EQ(s.klippy_state, 3);
    EXPECT_EQ(s.hostname, "kept");
    apply_printer_info(s, json{{"state", "ready"}});
    EXPECT_EQ(s.klippy_state, 1);
    EXPECT_THROW(apply_printer_info(s, json{{"state", 1}}), pemra::json_read::ReadError);
    EXPECT_THROW(apply_printer_info(s, json{{"state", "ready"}, {"hostname", 7}}), pemra::json_read::ReadError);
}

TEST(JobRecord, FieldsComeFromTheJobAndItsMetadata) {
    const json job = json::parse(R"({
        "end_time": 1700000100.5, "start_time": 1700000000, "filament_used": 1500.25, "print_duration": 90,
        "total_duration": 100, "status": "completed", "exists": false, "job_id": "00001A", "filename": "cube.gcode",
        "metadata": {"filament_name": "PLA Basic", "filament_type": "PLA", "uuid": "u-1", "slicer": "S", "slicer_version": "2.0",
            "estimated_time": 3600, "filament_total": 2000.5, "filament_weight_total": 6.2, "modified": 1699999999.0,
            "size": 512, "first_layer_bed_temp": 60, "first_layer_extr_temp": 210, "first_layer_height": 0.2,
            "layer_height": 0.16, "metadata_height": 0.08, "gcode_start_byte": 1000, "gcode_end_byte": 500000,
            "nozzle_diameter": 0.4,
            "thumbnails": [{"relative_path": ".thumbs/a.png"}, {"relative_path": ".thumbs/b.png"}, {"relative_path": ".thumbs/c.png"}]}})");
    MachineStatus::LastJob last;
    last.exists = true;
    apply_job_record(last, job);
    EXPECT_EQ(last.end_time, 1700000100.5);
    EXPECT_EQ(last.start_time, 1700000000);
    EXPECT_EQ(last.filament_used, 1500.25);
    EXPECT_EQ(last.print_duration, 90);
    EXPECT_EQ(last.total_duration, 100);
    EXPECT_FALSE(last.exists);
    EXPECT_EQ(last.status, "completed");
    EXPECT_EQ(last.job_id, "00001A");
    EXPECT_EQ(last.filename, "cube.gcode");
    EXPECT_EQ(last.filament_name, "PLA Basic");
    EXPECT_EQ(last.filament_type, "PLA");
    EXPECT_EQ(last.thumbnail_path, ".thumbs/c.png");
    EXPECT_EQ(last.uuid, "u-1");
    EXPECT_EQ(last.slicer, "S");
    EXPECT_EQ(last.slicer_version, "2.0");
    EXPECT_EQ(last.estimated_time, 3600);
    EXPECT_EQ(last.filament_total, 2000.5);
    EXPECT_EQ(last.filament_weight_total, 6.2);
    EXPECT_EQ(last.modified, 1699999999.0);
    EXPECT_EQ(last.size, 512.0);
    EXPECT_EQ(last.first_layer_bed_temp, 60);
    EXPECT_EQ(last.first_layer_extr_temp, 210);
    EXPECT_EQ(last.first_layer_height, 0.2);
    EXPECT_EQ(last.layer_height, 0.16);
    EXPECT_EQ(last.metadata_height, 0.08);
    EXPECT_EQ(last.gcode_start_byte, 1000);
    EXPECT_EQ(last.gcode_end_byte, 500000);
    EXPECT_EQ(last.nozzle_diameter, 0.4);

    // A later job with partial metadata keeps what it does not say.
    apply_job_record(last, json::parse(R"({"filename":"b.gcode","status":null,"metadata":{"slicer":"T","thumbnails":[]}})"));
    EXPECT_EQ(last.filename, "b.gcode");
    EXPECT_EQ(last.status, "completed");
    EXPECT_EQ(last.slicer, "T");
    EXPECT_EQ(last.uuid, "u-1");
    EXPECT_EQ(last.thumbnail_path, ".thumbs/c.png") << "an empty thumbnail list keeps the path";

    apply_job_record(last, json::parse(R"({"metadata":{"thumbnails":[{"relative_path":"x"},{"width":32}]}})"));
    EXPECT_EQ(last.thumbnail_path, ".thumbs/c.png") << "only the last thumbnail is looked at";
    apply_job_record(last, json::parse("[1,2]"));
    EXPECT_EQ(last.filename, "b.gcode");
    EXPECT_THROW(apply_job_record(last, json::parse(R"({"job_id":7})")), pemra::json_read::ReadError);
    EXPECT_THROW(apply_job_record(last, json::parse(R"({"metadata":{"size":"big"}})")), pemra::json_read::ReadError);
}

TEST(GcodeNotices, FilamentProgressTextsInTheirOrder) {
    struct Row {
        const char* text;
        int load, unload;
    };
    const Row rows[] = {
        {"unload_filament heating completed", 0, 2},
        {"load_filament heating completed", 2, 0},
        {"unload_filament done, then load_filament heating completed", 0, 3},
        {"load_filament done", 3, 0},
        {"nothing of interest", 0, 0},
    };
    for (const auto& r : rows) {
        MachineStatus s;
        apply_gcode_response(s, std::string(R"({"method":"notify_gcode_response","params":[")") + r.text + "\"]}");
        EXPECT_EQ(s.load_filament_state, r.load) << r.text;
        EXPECT_EQ(s.unload_filament_state, r.unload) << r.text;
    }
    MachineStatus s;
    apply_gcode_response(s, "load_filament heating completed");
    apply_gcode_response(s, "load_filament done");
    EXPECT_EQ(s.load_filament_state, 3);
}

TEST(GcodeNotices, RefusalTextsOfEveryKinematics) {
    auto both = error_notices("Move out of range: 500.000 0.000 0.000 [13.320] / Must home first");
    EXPECT_TRUE(both.move_out_of_range);
    EXPECT_TRUE(both.must_home_first);
    EXPECT_TRUE(error_notices("Must home axis first: 10.000 100.000 6.000 [13.320]").must_home_first);
    EXPECT_TRUE(error_notices("Must home first: 10.000 100.000 6.000 [13.320]").must_home_first);
    const auto range = error_notices("Move out of range");
    EXPECT_TRUE(range.move_out_of_range);
    EXPECT_FALSE(range.must_home_first);
    const auto other = error_notices("Unable to open file");
    EXPECT_FALSE(other.move_out_of_range || other.must_home_first);
    EXPECT_FALSE(error_notices("must home first").must_home_first) << "matching is case-sensitive";
}

std::string param_for(const std::string& reply) {
    const auto parsed = json::parse(reply, nullptr, false);
    return subscription_from_reply(reply, parsed).objects_param.value_or("<none>");
}

TEST(Subscription, RawListIsRewrittenByteForByte) {
    EXPECT_EQ(param_for(R"({"jsonrpc":"2.0","result":{"objects":["webhooks","extruder","output_pin box_led"]},"id":1})"),
              R"("objects":{"webhooks":null,"extruder":null,"output_pin box_led":null})");
    EXPECT_EQ(param_for(R"({"result":{"objects":["webhooks"]},"id":1})"), R"("objects":{"webhooks":null})");
    EXPECT_EQ(param_for(R"({"result": {"objects": ["a", "b"]}, "id": 1})"), R"("objects": {"a":null, "b":null})")
        << "the printer's spacing stays";
    EXPECT_EQ(param_for(R"({"result":{"objects":["a"] , "x":["b"]}, "more":1]})"), R"("objects":{"a":null} :null, "x":{"b":null})")
        << "a ] followed by spaces does not end the list";
}

TEST(Subscription, NothingIsSentForListsThatCannotBeRead) {
    EXPECT_EQ(param_for(R"({"a":[1]},"objects":[)"), "<none>") << "]} only before the marker";
    EXPECT_EQ(param_for(R"({"result":{"list":["a"]},"id":1})"), "<none>") << "no marker";
    EXPECT_EQ(param_for(R"({"result":{"objects":[]},"id":1})"), "<none>") << "empty list";
    EXPECT_EQ(param_for(R"({"result":{"objects":[  ]},"id":1})"), "<none>");
    const std::string reply = R"({"result":{"objects":[]},"id":1})";
    EXPECT_FALSE(subscription_from_reply(reply, json::parse(reply)).why_not.empty());
}

TEST(Subscription, NamesWithListSyntaxAreBuiltFromTheParsedList) {
    const std::string reply = R"({"result":{"objects":["webhooks","gcode_macro a,b","gcode_macro [x]","q\"uote"]},"id":1})";
    const std::string param = param_for(reply);
    const json request = json::parse("{" + param + "}");
    ASSERT_EQ(request["objects"].size(), 4u);
    EXPECT_TRUE(request["objects"].contains("gcode_macro a,b"));
    EXPECT_TRUE(request["objects"].contains("gcode_macro [x]"));
    EXPECT_TRUE(request["objects"]["webhooks"].is_null());
    EXPECT_EQ(param.rfind(R"("objects":{"webhooks":null,"gcode_macro a,b":null,)", 0), 0u) << param;
}

bool too_deep(const std::string& text, std::size_t limit = kMaxNesting) {
    return outline_frame(text, limit).too_deep;
}

TEST(FrameOutline, CountsOnlyBracketsOutsideStrings) {
    EXPECT_FALSE(too_deep(std::string(64, '[') + std::string(64, ']')));
    EXPECT_TRUE(too_deep(std::string(65, '[')));
    EXPECT_TRUE(too_deep(std::string(40, '{') + std::string(40, '[')));
    EXPECT_FALSE(too_deep("[\"" + std::string(200, '[') + "\"]"));
    EXPECT_FALSE(too_deep(R"(["\"[[[[", "\\"])", 1));
    EXPECT_TRUE(too_deep(R"([["\\"]])", 1));
    std::string wide;
    for (int i = 0; i < 100; ++i) wide += "[1],";
    EXPECT_FALSE(too_deep("[" + wide + "1]", 2));
}

TEST(FrameOutline, RecognisesHostStatisticsOnlyWhenParsingCouldNotSayOtherwise) {
    struct Row {
        const char* frame;
        bool host_statistics;
    };
    const Row rows[] = {
        {R"({"jsonrpc": "2.0", "method": "notify_proc_stat_update", "params": [{"cpu_temp": 45.2, "network": {"lo": {}}}]})", true},
        {R"({"method":"notify_proc_stat_update"})", true},
        {R"({"method":"notify_proc_stat_update","id":5})", false},            // a reply after all
        {R"({"method":"notify_proc_stat_update","id":null})", false},
        {R"({"method":"notify_proc_stat_update","method":"notify_status_update"})", false},  // the last one wins
        {R"({"method":"notify\u005fproc_stat_update"})", false},
        {R"({"met\u0068od":"notify_status_update","method":"notify_proc_stat_update"})", false},
        {R"({"params":[{"method":"notify_proc_stat_update"}],"method":"notify_status_update"})", false},
        {R"({"x":"method","method":"notify_status_update"})", false},
        {R"(["method","notify_proc_stat_update"])", false},
        {R"({"method":"notify_proc_stat_updates"})", false},
    };
    for (const auto& row : rows) EXPECT_EQ(outline_frame(row.frame).is_host_statistics(), row.host_statistics) << row.frame;
    EXPECT_EQ(outline_frame(R"({"a":"method","method":"notify_gcode_response"})").method, "notify_gcode_response");
}

}  // namespace
