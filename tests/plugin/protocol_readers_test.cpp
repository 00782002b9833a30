// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "parsed_json.h"

#include "protocol/frame_parser.h"
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
    apply_printer_info(s, test_json::Parsed(result));
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
    apply_printer_info(s, test_json::Parsed(json{{"state", "shutdown"}, {"software_version", "v0.12.0"}}));
    EXPECT_EQ(s.klippy_state, pemra::klippy_state::shutdown);
    EXPECT_EQ(s.hostname, "kept") << "no hostname, no renaming";
    EXPECT_EQ(s.software_version, "v0.12.0");
    apply_printer_info(s, test_json::Parsed(json{{"state", "startup"}}));
    EXPECT_EQ(s.klippy_state, pemra::klippy_state::shutdown) << "unknown states change nothing";
    apply_printer_info(s, test_json::Parsed(json{{"state", "disconnected"}, {"hostname", nullptr}}));
    EXPECT_EQ(s.klippy_state, pemra::klippy_state::disconnected);
    EXPECT_EQ(s.hostname, "kept");
    apply_printer_info(s, test_json::Parsed(json{{"state", "ready"}}));
    EXPECT_EQ(s.klippy_state, pemra::klippy_state::ready);
    EXPECT_THROW(apply_printer_info(s, test_json::Parsed(json{{"state", 1}})), pemra::json_read::ReadError);
    EXPECT_THROW(apply_printer_info(s, test_json::Parsed(json{{"state", "ready"}, {"hostname", 7}})), pemra::json_read::ReadError);
}

TEST(JobRecord, FieldsComeFromTheJobAndItsMetadata) {
    const test_json::Parsed job(R"({
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
    apply_job_record(last, test_json::Parsed(R"({"filename":"b.gcode","status":null,"metadata":{"slicer":"T","thumbnails":[]}})"));
    EXPECT_EQ(last.filename, "b.gcode");
    EXPECT_EQ(last.status, "completed");
    EXPECT_EQ(last.slicer, "T");
    EXPECT_EQ(last.uuid, "u-1");
    EXPECT_EQ(last.thumbnail_path, ".thumbs/c.png") << "an empty thumbnail list keeps the path";

    apply_job_record(last, test_json::Parsed(R"({"metadata":{"thumbnails":[{"relative_path":"x"},{"width":32}]}})"));
    EXPECT_EQ(last.thumbnail_path, ".thumbs/c.png") << "only the last thumbnail is looked at";
    apply_job_record(last, test_json::Parsed("[1,2]"));
    EXPECT_EQ(last.filename, "b.gcode");
    EXPECT_THROW(apply_job_record(last, test_json::Parsed(R"({"job_id":7})")), pemra::json_read::ReadError);
    EXPECT_THROW(apply_job_record(last, test_json::Parsed(R"({"metadata":{"size":"big"}})")), pemra::json_read::ReadError);
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
    // The rewrite works on the text alone; odd texts that are not JSON show
    // how far it can be trusted.
    const test_json::Parsed parsed(json::accept(reply) ? reply : std::string("null"));
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
    EXPECT_FALSE(subscription_from_reply(reply, test_json::Parsed(reply)).why_not.empty());
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

FrameParser::Outcome outcome_of(const std::string& text) {
    FrameParser parser;
    return parser.parse(text).outcome;
}

TEST(FrameParser, RefusesFramesNestedDeeperThanTheLimit) {
    using Outcome = FrameParser::Outcome;
    EXPECT_EQ(outcome_of(std::string(64, '[') + std::string(64, ']')), Outcome::parsed);
    EXPECT_EQ(outcome_of(std::string(65, '[') + std::string(65, ']')), Outcome::too_deep);
    EXPECT_EQ(outcome_of(std::string(63, '[') + "{}" + std::string(63, ']')), Outcome::parsed);
    EXPECT_EQ(outcome_of(std::string(64, '[') + "{}" + std::string(64, ']')), Outcome::too_deep);
    EXPECT_EQ(outcome_of("[\"" + std::string(200, '[') + "\"]"), Outcome::parsed) << "brackets in strings do not count";
    EXPECT_EQ(outcome_of(R"(["\"[[[[", "\\"])"), Outcome::parsed);
    EXPECT_EQ(outcome_of("x" + std::string(65, '[')), Outcome::too_deep) << "too deep wins over malformed";
    EXPECT_EQ(outcome_of("{\"a\":\"\xff\"}"), Outcome::not_json) << "not UTF-8";
    EXPECT_EQ(outcome_of(""), Outcome::not_json);
    EXPECT_EQ(outcome_of("{} x"), Outcome::not_json);
    EXPECT_EQ(outcome_of(std::string("{\"id\":3}\0", 9)), Outcome::not_json) << "nothing after the document, not even NUL";
    EXPECT_EQ(outcome_of(std::string("{\"id\":3}\0{\"id\":4}", 17)), Outcome::not_json);
}

TEST(FrameParser, ReadsIntegersBeyond64BitsAsDoubles) {
    FrameParser parser;
    const auto parsed = parser.parse(R"({"a":100000000000000000000,"b":-9223372036854775809,"c":18446744073709551615,"s":"99999999999999999999999"})");
    ASSERT_EQ(parsed.outcome, FrameParser::Outcome::parsed);
    const auto a = pemra::json_read::find(parsed.root, "a");
    const auto b = pemra::json_read::find(parsed.root, "b");
    const auto c = pemra::json_read::find(parsed.root, "c");
    const auto text = pemra::json_read::find(parsed.root, "s");
    ASSERT_TRUE(a && b && c && text);
    EXPECT_EQ(a->get_double().value(), 1e20);
    EXPECT_EQ(b->get_double().value(), -9223372036854775809.0);
    EXPECT_TRUE(c->is_uint64()) << "the largest unsigned stays an integer";
    EXPECT_EQ(text->get_string().value(), "99999999999999999999999") << "strings are not touched";
    EXPECT_EQ(outcome_of("[0.100000000000000000000,1E+20,100000000000000000000]"),
              FrameParser::Outcome::parsed)
        << "fraction and exponent digits are not integers of their own";
    EXPECT_EQ(outcome_of("[100000000000000000000 1]"), FrameParser::Outcome::not_json);
    EXPECT_EQ(outcome_of("[1e400]"), FrameParser::Outcome::not_json);
}

TEST(FrameParser, ParsesFramesOfAnySizeOneAfterAnother) {
    FrameParser parser;
    std::string big = "[";
    for (int i = 0; i < 50000; ++i) big += "\"element\",";
    big += "1]";
    ASSERT_GT(big.size(), 256u * 1024);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(parser.parse(big).outcome, FrameParser::Outcome::parsed);
        const auto small = parser.parse(R"({"id":3})");
        ASSERT_EQ(small.outcome, FrameParser::Outcome::parsed);
        EXPECT_EQ(pemra::json_read::find(small.root, "id")->get_int64().value(), 3);
    }
}

}  // namespace
