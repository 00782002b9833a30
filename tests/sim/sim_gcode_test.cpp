// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// G-code scripts, Klippy shutdown and the restart sequence.
#include "sim_fixture.h"

namespace sim_test {
namespace {

nlohmann::json script(TestClient& client, const std::string& text, int id) {
    return client.call("printer.gcode.script", {{"script", text}}, id);
}

TEST_F(SimTest, MoveBeforeHomingIsRefusedOnCartesian) {
    start();
    const auto reply = script(*client, "G1 X10 Y100 Z6 E13.32", 10);
    ASSERT_TRUE(reply.is_object());
    EXPECT_EQ(reply["error"]["code"], 400);
    EXPECT_EQ(reply["error"]["message"], "Must home axis first: 10.000 100.000 6.000 [13.320]");
    EXPECT_TRUE(client->wait_gcode_response("!! Must home axis first: 10.000 100.000 6.000 [13.320]", 2000ms));
}

TEST_F(SimTest, MoveOutOfRangeAfterHoming) {
    start();
    EXPECT_EQ(script(*client, "G28", 10)["result"], "ok");
    // The range check comes before the extruder's, so a cold nozzle does not matter.
    const auto reply = script(*client, "G1 X500 E13.32", 11);
    EXPECT_EQ(reply["error"]["code"], 400);
    EXPECT_EQ(reply["error"]["message"], "Move out of range: 500.000 0.000 0.000 [13.320]");
    EXPECT_TRUE(client->wait_gcode_response("!! Move out of range: 500.000 0.000 0.000 [13.320]", 2000ms));
}

TEST_F(SimTest, ValidMoveAnswersOkAndMovesTheToolhead) {
    start();
    subscribe_all();
    EXPECT_EQ(script(*client, "G28\nG1 X50 Y60 Z5 F3000", 10)["result"], "ok");
    const auto status = nlohmann::json::parse(printer->status_text());
    EXPECT_EQ(status["toolhead"]["homed_axes"], "xyz");
    EXPECT_EQ(status["toolhead"]["position"], nlohmann::json({50.0, 60.0, 5.0, 0.0}));
    EXPECT_EQ(status["gcode_move"]["gcode_position"], nlohmann::json({50.0, 60.0, 5.0, 0.0}));
    EXPECT_EQ(status["gcode_move"]["speed"], 3000.0);
    // Subscribers see the new position.
    EXPECT_TRUE(client->wait(
        [](const std::vector<Frame>& frames) {
            for (const auto& f : frames) {
                if (f.json.value("method", "") == "notify_status_update" &&
                    f.json.value("/params/0/toolhead/position"_json_pointer, nlohmann::json()) ==
                        nlohmann::json({50.0, 60.0, 5.0, 0.0})) {
                    return true;
                }
            }
            return false;
        },
        2000ms));
}

TEST_F(SimTest, DeltaNeedsHomingFirstAndLimitsItsRadius) {
    auto options = fast_options();
    options.kinematics = printer_sim::Kinematics::delta;
    start(options);
    auto reply = script(*client, "G1 X10 Y10", 10);
    EXPECT_EQ(reply["error"]["message"], "Must home first: 10.000 10.000 0.000 [0.000]");
    EXPECT_TRUE(client->wait_gcode_response("!! Must home first: 10.000 10.000 0.000 [0.000]", 2000ms));
    EXPECT_EQ(script(*client, "G28", 11)["result"], "ok");
    reply = script(*client, "G1 X150 Y0 Z10", 12);
    EXPECT_EQ(reply["error"]["message"], "Move out of range: 150.000 0.000 10.000 [0.000]");
    EXPECT_EQ(script(*client, "G1 X20 Y20 Z10", 13)["result"], "ok");
}

TEST_F(SimTest, ColdExtrusionIsRefused) {
    start();
    EXPECT_EQ(printer->run_gcode("G28"), "ok");
    const auto reply = script(*client, "G1 E5", 10);
    EXPECT_EQ(reply["error"]["message"],
              "Extrude below minimum temp\nSee the 'min_extrude_temp' config option for details");
    EXPECT_TRUE(client->wait_gcode_response("!! Extrude below minimum temp", 2000ms));
}

TEST_F(SimTest, UnknownCommandAnswersOkWithAResponse) {
    start();
    EXPECT_EQ(script(*client, "FOO_BAR", 10)["result"], "ok");
    EXPECT_TRUE(client->wait_gcode_response("// Unknown command:\"FOO_BAR\"", 2000ms));
}

TEST_F(SimTest, PinsAndFansFollowTheirCommands) {
    start();
    EXPECT_EQ(printer->run_gcode("SET_PIN PIN=LED_ORANGE VALUE=1\nSET_FAN_SPEED FAN=box_fan SPEED=0.5\nM106 S128"),
              "ok");
    const auto status = nlohmann::json::parse(printer->status_text());
    EXPECT_EQ(status["output_pin LED_ORANGE"]["value"], 1.0);
    EXPECT_EQ(status["fan_generic box_fan"]["speed"], 0.5);
    EXPECT_GT(status["fan_generic box_fan"]["rpm"].get<int>(), 0);
    EXPECT_NEAR(status["fan"]["speed"].get<double>(), 128.0 / 255.0, 1e-9);
    EXPECT_EQ(printer->run_gcode("SET_PIN PIN=nope VALUE=1"), "The value 'nope' is not valid for PIN");
}

TEST_F(SimTest, FilamentMacrosReportTheirSteps) {
    start();
    EXPECT_EQ(script(*client, "LOAD_FILAMENT", 10)["result"], "ok");
    ASSERT_TRUE(client->wait_gcode_response("load_filament done", 2000ms));
    EXPECT_EQ(script(*client, "UNLOAD_FILAMENT", 11)["result"], "ok");
    ASSERT_TRUE(client->wait_gcode_response("unload_filament done", 2000ms));
    std::vector<std::string> texts;
    for (const auto& f : client->notifications("notify_gcode_response")) texts.push_back(f.json["params"][0]);
    EXPECT_EQ(texts, (std::vector<std::string>{"load_filament heating completed", "load_filament done",
                                               "unload_filament heating completed", "unload_filament done"}));
}

TEST_F(SimTest, M112ShutsDownAndLaterScriptsGetTheShutdownText) {
    start();
    EXPECT_EQ(script(*client, "M112", 10)["result"], "ok");
    ASSERT_TRUE(client->wait_notifications("notify_klippy_shutdown", 1, 2000ms));
    EXPECT_EQ(client->notifications("notify_klippy_shutdown").front().text,
              R"({"jsonrpc":"2.0","method":"notify_klippy_shutdown"})");
    EXPECT_EQ(printer->klippy_state(), "shutdown");
    const auto info = client->call("printer.info", nlohmann::json::object(), 3);
    EXPECT_EQ(info["result"]["state"], "shutdown");

    const auto reply = script(*client, "G28", 11);
    EXPECT_EQ(reply["error"]["code"], 400);
    const std::string message = reply["error"]["message"];
    EXPECT_EQ(message.rfind("Shutdown due to M112 command", 0), 0u) << message;
    EXPECT_GE(message.size(), 19u);
    EXPECT_EQ(message.substr(message.size() - 19), "Printer is shutdown");
    EXPECT_NE(message.find('\n'), std::string::npos);
    EXPECT_TRUE(client->wait_gcode_response("!! Shutdown due to M112 command", 2000ms));
}

TEST_F(SimTest, EmergencyStopShutsDownWithWebhooksReason) {
    start();
    subscribe_all();
    EXPECT_EQ(client->call("printer.emergency_stop", nlohmann::json::object(), 10)["result"], "ok");
    ASSERT_TRUE(client->wait_notifications("notify_klippy_shutdown", 1, 2000ms));
    const std::string message = script(*client, "G28", 11)["error"]["message"];
    EXPECT_EQ(message.rfind("Shutdown due to webhooks request", 0), 0u) << message;
    // Subscribers learn it from webhooks too.
    EXPECT_TRUE(client->wait(
        [](const std::vector<Frame>& frames) {
            for (const auto& f : frames) {
                if (f.json.value("method", "") == "notify_status_update" &&
                    f.json.value("/params/0/webhooks/state"_json_pointer, "") == "shutdown") {
                    return true;
                }
            }
            return false;
        },
        2000ms));
}

TEST_F(SimTest, RestartSequenceDropsSubscriptions) {
    auto options = fast_options();
    options.speed = 23.0;  // 2.3 s become 100 ms
    start(options);
    subscribe_all();
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 1, 2000ms));
    EXPECT_EQ(printer->run_gcode("M112"), "ok");
    EXPECT_EQ(client->call("printer.firmware_restart", nlohmann::json::object(), 10)["result"], "ok");
    ASSERT_TRUE(client->wait_notifications("notify_klippy_ready", 1, 2000ms));
    const auto frames = client->frames();
    std::size_t disconnected = frames.size(), ready = frames.size(), last_status = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string method = frames[i].json.value("method", "");
        if (method == "notify_klippy_disconnected" && disconnected == frames.size()) disconnected = i;
        if (method == "notify_klippy_ready") ready = i;
        if (method == "notify_status_update") last_status = i;
    }
    ASSERT_LT(disconnected, ready);
    EXPECT_LT(last_status, disconnected);
    const auto gap = frames[ready].at - frames[disconnected].at;
    EXPECT_GE(gap, 60ms);
    EXPECT_LE(gap, 1000ms);

    EXPECT_EQ(client->call("printer.info", nlohmann::json::object(), 3)["result"]["state"], "ready");
    // No status until the client subscribes again.
    client->clear_frames();
    // Two host statistics frames, 200 ms apart, span four status intervals.
    ASSERT_TRUE(client->wait_notifications("notify_proc_stat_update", 2, 2000ms));
    EXPECT_TRUE(client->notifications("notify_status_update").empty());
    subscribe_all(22);
    EXPECT_TRUE(client->wait_notifications("notify_status_update", 1, 2000ms));
    const auto status = nlohmann::json::parse(printer->status_text());
    EXPECT_EQ(status["toolhead"]["homed_axes"], "");
}

TEST_F(SimTest, KlippyMethodsFailWhileDisconnected) {
    start();
    printer->klippy_disconnected();
    ASSERT_TRUE(client->wait_notifications("notify_klippy_disconnected", 1, 2000ms));
    const auto reply = client->call("printer.info", nlohmann::json::object(), 3);
    EXPECT_EQ(reply["error"]["code"], 503);
    EXPECT_EQ(reply["error"]["message"], "Klippy Disconnected");
    printer->klippy_ready();
    ASSERT_TRUE(client->wait_notifications("notify_klippy_ready", 1, 2000ms));
    EXPECT_EQ(client->call("printer.info", nlohmann::json::object(), 33)["result"]["state"], "ready");
}

}  // namespace
}  // namespace sim_test
