// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The JSON-RPC framing and the identity methods.
#include <algorithm>

#include "sim_fixture.h"

namespace sim_test {
namespace {

TEST_F(SimTest, PrinterInfoEchoesIdAndReportsIdentity) {
    auto options = fast_options();
    options.hostname = "orbit-board";
    options.cpu_info = "2 core ARM Cortex-A7";
    start(options);
    client->send(R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":3})");
    const auto reply = client->reply(3);
    ASSERT_TRUE(reply.is_object()) << "no reply";
    EXPECT_EQ(reply["jsonrpc"], "2.0");
    EXPECT_EQ(reply["id"], 3);
    const auto& result = reply["result"];
    EXPECT_EQ(result["state"], "ready");
    EXPECT_EQ(result["state_message"], "Printer is ready");
    EXPECT_EQ(result["hostname"], "orbit-board");
    EXPECT_EQ(result["cpu_info"], "2 core ARM Cortex-A7");
    EXPECT_TRUE(result["software_version"].is_string());
    EXPECT_TRUE(result["klipper_path"].is_string());
}

TEST_F(SimTest, StringAndLargeIdsAreEchoed) {
    start();
    client->send(R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":"abc"})");
    client->send(R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":9007199254740993})");
    // Host-statistics notifications may come in between: wait for two replies.
    ASSERT_TRUE(client->wait(
        [](const std::vector<Frame>& frames) {
            return std::count_if(frames.begin(), frames.end(),
                                 [](const Frame& f) { return f.json.is_object() && f.json.contains("result"); }) >= 2;
        },
        2000ms));
    const auto frames = jsons(client->frames());
    bool text_id = false, big_id = false;
    for (const auto& f : frames) {
        if (f.contains("result") && f["id"] == "abc") text_id = true;
        if (f.contains("result") && f["id"] == 9007199254740993ULL) big_id = true;
    }
    EXPECT_TRUE(text_id);
    EXPECT_TRUE(big_id);
}

TEST_F(SimTest, ObjectsListIsTheConfiguredList) {
    start();
    const auto reply = client->call("printer.objects.list", nlohmann::json::object(), 1);
    ASSERT_TRUE(reply.is_object());
    const auto objects = reply["result"]["objects"].get<std::vector<std::string>>();
    EXPECT_EQ(objects, printer_sim::default_objects());
    for (const char* needed :
         {"webhooks", "configfile", "mcu", "gcode_move", "print_stats", "virtual_sdcard", "display_status",
          "idle_timeout", "toolhead", "extruder", "heater_bed", "fan", "bed_mesh", "output_pin box_led",
          "fan_generic box_fan", "output_pin drying_box_heater", "output_pin LED_WHITE", "output_pin LED_ORANGE",
          "output_pin LED_RED", "output_pin BOXFAN_pin", "system_stats", "heaters", "gcode_macro PAUSE"}) {
        EXPECT_NE(std::find(objects.begin(), objects.end(), needed), objects.end()) << needed;
    }
}

TEST_F(SimTest, ObjectListCanBeReplacedAtRunTime) {
    start();
    printer->set_objects({"gcode_macro a,b", "toolhead"});
    auto reply = client->call("printer.objects.list", nlohmann::json::object(), 1);
    EXPECT_EQ(reply["result"]["objects"], nlohmann::json({"gcode_macro a,b", "toolhead"}));
    printer->set_objects({});
    reply = client->call("printer.objects.list", nlohmann::json::object(), 11);
    EXPECT_EQ(reply["result"]["objects"], nlohmann::json::array());
    // Exact reply text: an empty list is written as [].
    EXPECT_TRUE(client->wait(
        [](const std::vector<Frame>& frames) {
            for (const auto& f : frames) {
                if (f.text == R"({"jsonrpc":"2.0","result":{"objects":[]},"id":11})") return true;
            }
            return false;
        },
        100ms));
}

TEST_F(SimTest, UnknownMethodIsMethodNotFound) {
    start();
    const auto reply = client->call("printer.no_such_thing", nlohmann::json::object(), 42);
    ASSERT_TRUE(reply.is_object());
    EXPECT_EQ(reply["id"], 42);
    EXPECT_EQ(reply["error"]["code"], -32601);
    EXPECT_EQ(reply["error"]["message"], "Method not found");
    EXPECT_FALSE(reply.contains("result"));
}

TEST_F(SimTest, MalformedJsonIsAParseError) {
    start();
    client->send("{not json");
    // Notifications (host statistics every second) may come first.
    auto is_error = [](const Frame& frame) { return frame.json.is_object() && frame.json.contains("error"); };
    ASSERT_TRUE(client->wait(
        [&](const std::vector<Frame>& f) { return std::any_of(f.begin(), f.end(), is_error); }, 2000ms));
    const auto frames = client->frames();
    const auto reply = std::find_if(frames.begin(), frames.end(), is_error)->json;
    EXPECT_EQ(reply["error"]["code"], -32700);
    EXPECT_TRUE(reply["id"].is_null());
}

TEST_F(SimTest, RequestsAreRecordedInOrderWithConnectionNumbers) {
    start();
    TestClient second;
    ASSERT_TRUE(connect(second));
    client->send(R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":3})");
    ASSERT_TRUE(client->reply(3).is_object());
    client->send(R"({"jsonrpc":"2.0","method":"printer.objects.list","params":{},"id":1})");
    ASSERT_TRUE(client->reply(1).is_object());
    second.send(R"({"jsonrpc":"2.0","method":"server.info","params":{},"id":9})");
    ASSERT_TRUE(second.reply(9).is_object());

    const auto frames = printer->received();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].text, R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":3})");
    EXPECT_EQ(frames[1].text, R"({"jsonrpc":"2.0","method":"printer.objects.list","params":{},"id":1})");
    EXPECT_EQ(frames[0].connection, 1);
    EXPECT_EQ(frames[1].connection, 1);
    EXPECT_EQ(frames[2].connection, 2);
    EXPECT_LE(frames[0].at, frames[1].at);
    EXPECT_EQ(printer->counters().open, 2u);
    EXPECT_EQ(printer->open_connections(), (std::vector<int>{1, 2}));

    printer->clear_received();
    EXPECT_TRUE(printer->received().empty());
}

TEST_F(SimTest, HandshakeCarriesServerHeaderAndOtherPathsAreRefused) {
    start();
    EXPECT_EQ(client->server_header(), "printer-sim/1.0");
    EXPECT_EQ(client->http_status(), 101);
    TestClient wrong;
    EXPECT_FALSE(wrong.connect(printer->port(), "/other"));
    EXPECT_EQ(wrong.http_status(), 404);
    EXPECT_EQ(printer->counters().opened, 1u);
}

TEST_F(SimTest, PingsAreAnsweredAndCounted) {
    start();
    client->ping();
    EXPECT_TRUE(client->wait_pongs(1, 2000ms));
    EXPECT_TRUE(printer->wait_counters(
        [](const printer_sim::ConnectionCounters& c) { return c.pings_received == 1 && c.pongs_sent == 1; },
        2000ms));
}

TEST_F(SimTest, ServerInfoReportsKlippyState) {
    start();
    const auto reply = client->call("server.info", nlohmann::json::object(), 5);
    EXPECT_EQ(reply["result"]["klippy_connected"], true);
    EXPECT_EQ(reply["result"]["klippy_state"], "ready");
    EXPECT_EQ(reply["result"]["websocket_count"], 1);
}

}  // namespace
}  // namespace sim_test
