// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Subscriptions and the periodic notifications: content, rate and sizes.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <thread>

#include "sim_fixture.h"

namespace sim_test {
namespace {

std::vector<std::size_t> sizes(const std::vector<Frame>& frames) {
    std::vector<std::size_t> out;
    for (const auto& f : frames) out.push_back(f.text.size());
    return out;
}

std::string describe(const std::vector<std::size_t>& values) {
    std::string out;
    for (auto v : values) out += std::to_string(v) + " ";
    return out;
}

bool has_mcu_stats(const Frame& f) { return f.json["params"][0].contains("mcu"); }

TEST_F(SimTest, SubscriptionReplyHoldsTheFullStatus) {
    start();
    const auto reply = subscribe_all();
    ASSERT_TRUE(reply.is_object());
    EXPECT_EQ(reply["id"], 2);
    const auto& result = reply["result"];
    EXPECT_TRUE(result["eventtime"].is_number_float());
    const auto& status = result["status"];
    for (const auto& name : printer->options().objects) EXPECT_TRUE(status.contains(name)) << name;

    EXPECT_EQ(status["webhooks"]["state"], "ready");
    EXPECT_EQ(status["print_stats"]["state"], "standby");
    EXPECT_EQ(status["toolhead"]["homed_axes"], "");
    EXPECT_EQ(status["toolhead"]["position"].size(), 4u);
    EXPECT_EQ(status["toolhead"]["axis_maximum"], nlohmann::json({235.0, 235.0, 250.0, 0.0}));
    for (const char* key : {"max_velocity", "max_accel", "print_time", "estimated_print_time", "stalls", "extruder"}) {
        EXPECT_TRUE(status["toolhead"].contains(key)) << key;
    }
    for (const char* key : {"speed_factor", "speed", "extrude_factor", "absolute_coordinates", "absolute_extrude",
                            "homing_origin", "position", "gcode_position"}) {
        EXPECT_TRUE(status["gcode_move"].contains(key)) << key;
    }
    EXPECT_EQ(status["extruder"]["temperature"], 25.0);
    EXPECT_EQ(status["heater_bed"]["target"], 0.0);
    EXPECT_TRUE(status["virtual_sdcard"].contains("file_position"));
    EXPECT_EQ(status["print_stats"]["info"], nlohmann::json({{"total_layer", nullptr}, {"current_layer", nullptr}}));
    EXPECT_EQ(status["output_pin LED_WHITE"], nlohmann::json({{"value", 0.0}}));
    EXPECT_TRUE(status["fan_generic box_fan"].contains("rpm"));
    EXPECT_EQ(status["bed_mesh"]["mesh_min"], nlohmann::json({15.0, 15.0}));
    EXPECT_EQ(status["gcode_macro PAUSE"], nlohmann::json({{"extrude", 1.0}}));
    EXPECT_EQ(status["configfile"]["settings"]["fan"]["max_power"], 1.0);
    EXPECT_TRUE(status["mcu"]["last_stats"].contains("bytes_write"));
    EXPECT_TRUE(status["system_stats"].contains("memavail"));

    const std::size_t configfile = status["configfile"].dump().size();
    EXPECT_GE(configfile, 15000u);
    EXPECT_LE(configfile, 90000u);
}

TEST_F(SimTest, SubscriptionOfFieldsAndUnknownObjects) {
    auto options = fast_options();
    options.objects = {"toolhead", "extruder", "gcode_macro a,b"};
    start(options);
    const auto reply = client->call(
        "printer.objects.subscribe",
        {{"objects", {{"extruder", {"target", "nonsense"}}, {"gcode_macro a,b", nullptr}, {"heater_bed", nullptr}}}},
        2);
    const auto& status = reply["result"]["status"];
    EXPECT_EQ(status["extruder"], nlohmann::json({{"target", 0.0}, {"nonsense", nullptr}}));
    EXPECT_EQ(status["gcode_macro a,b"], nlohmann::json::object());
    // Not in the object list: reported empty, even though the printer has a bed.
    EXPECT_EQ(status["heater_bed"], nlohmann::json::object());
}

TEST_F(SimTest, NotificationsCarryOnlyChangedFieldsOfSubscribedObjects) {
    start();
    ASSERT_TRUE(client->call("printer.objects.subscribe", {{"objects", {{"toolhead", nullptr}, {"extruder", nullptr}}}}, 2)
                    .is_object());
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 3, 2000ms));
    for (const auto& f : client->notifications("notify_status_update")) {
        const auto& params = f.json["params"];
        ASSERT_EQ(params.size(), 2u);
        EXPECT_TRUE(params[1].is_number());
        for (const auto& [name, fields] : params[0].items()) {
            EXPECT_TRUE(name == "toolhead" || name == "extruder") << name;
        }
        // Idle: only the estimated print time moves.
        EXPECT_EQ(params[0], nlohmann::json({{"toolhead", {{"estimated_print_time", params[0]["toolhead"]["estimated_print_time"]}}}}));
    }
    client->clear_frames();
    EXPECT_EQ(printer->run_gcode("M104 S200"), "ok");
    ASSERT_TRUE(client->wait(
        [](const std::vector<Frame>& frames) {
            for (const auto& f : frames) {
                if (f.json.value("method", "") == "notify_status_update" &&
                    f.json["params"][0].contains("extruder") &&
                    f.json["params"][0]["extruder"].value("target", 0.0) == 200.0) {
                    return true;
                }
            }
            return false;
        },
        2000ms));
    // The target is sent once, not again in later frames.
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 4, 2000ms));
    int with_target = 0;
    for (const auto& f : client->notifications("notify_status_update")) {
        if (f.json["params"][0].contains("extruder") && f.json["params"][0]["extruder"].contains("target")) ++with_target;
    }
    EXPECT_EQ(with_target, 1);
}

TEST_F(SimTest, NewSubscriptionReplacesThePrevious) {
    start();
    client->call("printer.objects.subscribe", {{"objects", {{"toolhead", nullptr}}}}, 2);
    client->call("printer.objects.subscribe", {{"objects", {{"extruder", nullptr}}}}, 22);
    client->clear_frames();
    EXPECT_EQ(printer->run_gcode("M104 S150"), "ok");
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 2, 2000ms));
    for (const auto& f : client->notifications("notify_status_update")) {
        EXPECT_FALSE(f.json["params"][0].contains("toolhead")) << f.text;
        EXPECT_TRUE(f.json["params"][0].contains("extruder")) << f.text;
    }
}

TEST_F(SimTest, StatusUpdatesArriveAtTheConfiguredRate) {
    auto options = fast_options();
    options.update_interval = std::chrono::milliseconds(40);
    start(options);
    subscribe_all();
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 11, 3000ms));
    const auto frames = client->notifications("notify_status_update");
    const auto span = frames[10].at - frames[0].at;
    // Ten intervals of 40 ms. The bounds are wide (the machine is shared) but
    // still tell 40 ms from the default 250 ms or from double rate.
    EXPECT_GE(span, 300ms);
    EXPECT_LE(span, 1500ms);
}

TEST_F(SimTest, IdleFrameSizesMatchARealPrinter) {
    auto options = fast_options();
    options.update_interval = std::chrono::milliseconds(20);
    options.stats_interval = std::chrono::milliseconds(100);
    start(options);
    subscribe_all();
    ASSERT_TRUE(client->wait(
        [](const std::vector<Frame>& frames) {
            int stats = 0;
            for (const auto& f : frames) {
                if (f.json.value("method", "") == "notify_status_update" && f.json["params"][0].contains("mcu")) ++stats;
            }
            return stats >= 3;
        },
        3000ms));
    std::vector<std::size_t> idle, per_second;
    for (const auto& f : client->notifications("notify_status_update")) {
        (has_mcu_stats(f) ? per_second : idle).push_back(f.text.size());
    }
    ASSERT_FALSE(idle.empty());
    for (auto s : idle) EXPECT_TRUE(s >= 110 && s <= 140) << describe(idle);
    for (auto s : per_second) EXPECT_TRUE(s >= 475 && s <= 503) << describe(per_second);

    const auto proc = client->notifications("notify_proc_stat_update");
    ASSERT_FALSE(proc.empty());
    for (auto s : sizes(proc)) EXPECT_TRUE(s >= 860 && s <= 960) << describe(sizes(proc));
    EXPECT_TRUE(proc.front().json["params"][0].contains("moonraker_stats"));
}

TEST_F(SimTest, PrintingFrameSizesMatchARealPrinter) {
    auto options = fast_options();
    options.update_interval = std::chrono::milliseconds(20);
    options.stats_interval = std::chrono::milliseconds(100);
    // Heaters reach their targets at once; 320 layers in 60 s, so layers
    // change every few frames rather than in every one.
    options.speed = 2000.0;
    options.print_duration = std::chrono::milliseconds(60000);
    start(options);
    subscribe_all();
    ASSERT_EQ(printer->start_print("boat_test_0.15mm_PETG.gcode"), "ok");
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 5, 2000ms));
    client->clear_frames();
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 60, 4000ms));
    auto frames = client->notifications("notify_status_update");
    std::vector<std::size_t> printing;
    for (const auto& f : frames) printing.push_back(f.text.size());
    for (auto s : printing) EXPECT_TRUE(s >= 223 && s <= 1178) << describe(printing);
    std::sort(printing.begin(), printing.end());
    const auto median = printing[printing.size() / 2];
    EXPECT_TRUE(median >= 330 && median <= 450) << describe(printing);
}

TEST_F(SimTest, ProcStatsGoToEveryClientWithoutSubscription) {
    start();
    TestClient second;
    ASSERT_TRUE(connect(second));
    ASSERT_TRUE(second.wait_notifications("notify_proc_stat_update", 1, 2000ms));
    // The first client's frames come to count the second connection.
    EXPECT_TRUE(client->wait(
        [](const std::vector<Frame>& frames) {
            for (const auto& f : frames) {
                if (f.json.is_object() &&
                    f.json.value("/params/0/websocket_connections"_json_pointer, 0) == 2) {
                    return true;
                }
            }
            return false;
        },
        2000ms));
    EXPECT_TRUE(client->notifications("notify_status_update").empty());
}

TEST_F(SimTest, StampedFramesCarryTheSendTime) {
    auto options = fast_options();
    options.stamp_send_time = true;
    start(options);
    subscribe_all();
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 3, 2000ms));
    for (const auto& f : client->notifications("notify_status_update")) {
        const double stamp = f.json["params"][0]["toolhead"]["estimated_print_time"].get<double>();
        const double now =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        EXPECT_GT(stamp, now - 5.0);
        EXPECT_LE(stamp, now + 0.001);
        // Microsecond resolution: at most six decimals.
        EXPECT_NEAR(stamp * 1e6, std::round(stamp * 1e6), 0.01);
    }
}

TEST_F(SimTest, NumberedFramesAreConsecutiveForEverySubscriber) {
    auto options = fast_options();
    options.number_frames = true;
    start(options);
    subscribe_all();
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 3, 2000ms));
    // A later subscriber's reply publishes the status too, and pauses and
    // silence send nothing: none of them may use up a number.
    TestClient second;
    ASSERT_TRUE(connect(second));
    const auto reply = second.call("printer.objects.subscribe", all_objects(printer->options().objects), 3);
    EXPECT_GE(reply["result"]["status"]["toolhead"]["estimated_print_time"].get<double>(), 0.0) << "the reply is not a frame";
    // The printer's host statistics advance every 200 ms, paused or silent:
    // two advances span status intervals that must send nothing.
    const auto two_stats_intervals = [&] {
        const auto cputime = [&] { return nlohmann::json::parse(printer->status_text())["system_stats"]["cputime"]; };
        const auto until = std::chrono::steady_clock::now() + 5s;
        for (int advances = 0; advances < 2; ++advances) {
            const auto before = cputime();
            while (cputime() == before) {
                ASSERT_LT(std::chrono::steady_clock::now(), until) << "the host statistics stood still";
                std::this_thread::sleep_for(5ms);
            }
        }
    };
    printer->pause_status_updates(true);
    two_stats_intervals();
    printer->pause_status_updates(false);
    printer->go_silent(true);
    two_stats_intervals();
    printer->go_silent(false);
    ASSERT_TRUE(second.wait_notifications("notify_status_update", 4, 2000ms));

    auto numbers_of = [](const std::vector<Frame>& frames) {
        std::vector<long> numbers;
        for (const auto& f : frames) {
            numbers.push_back(std::lround(-f.json["params"][0]["toolhead"]["estimated_print_time"].get<double>()));
        }
        return numbers;
    };
    const auto first = numbers_of(client->notifications("notify_status_update"));
    const auto later = numbers_of(second.notifications("notify_status_update"));
    EXPECT_EQ(first.front(), 1);
    for (const auto* numbers : {&first, &later}) {
        for (std::size_t i = 1; i < numbers->size(); ++i) EXPECT_EQ((*numbers)[i], (*numbers)[i - 1] + 1) << "frame " << i;
    }
    EXPECT_GT(later.front(), first.front());
}

}  // namespace
}  // namespace sim_test
