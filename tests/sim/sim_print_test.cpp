// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Print jobs, the history and the file methods.
#include "sim_fixture.h"

namespace sim_test {
namespace {

printer_sim::PrinterOptions print_options() {
    auto options = fast_options();
    options.update_interval = std::chrono::milliseconds(20);
    options.print_duration = std::chrono::milliseconds(600);
    return options;
}

std::vector<nlohmann::json> history_events(TestClient& client) {
    std::vector<nlohmann::json> out;
    for (const auto& f : client.notifications("notify_history_changed")) out.push_back(f.json["params"][0]);
    return out;
}

TEST_F(SimTest, PrintRunsToCompleteAndIsRecordedInHistory) {
    start(print_options());
    subscribe_all();
    const auto reply = client->call("printer.print.start", {{"filename", "calibration_cube_0.2mm_PLA.gcode"}}, 20);
    EXPECT_EQ(reply["result"], "ok");
    ASSERT_TRUE(client->wait_notifications("notify_history_changed", 2, 3000ms));

    const auto events = history_events(*client);
    EXPECT_EQ(events[0]["action"], "added");
    EXPECT_EQ(events[0]["job"]["status"], "in_progress");
    EXPECT_EQ(events[0]["job"]["filename"], "calibration_cube_0.2mm_PLA.gcode");
    EXPECT_TRUE(events[0]["job"]["end_time"].is_null());
    EXPECT_EQ(events[1]["action"], "finished");
    EXPECT_EQ(events[1]["job"]["status"], "completed");
    EXPECT_EQ(events[1]["job"]["job_id"], events[0]["job"]["job_id"]);
    EXPECT_NEAR(events[1]["job"]["print_duration"].get<double>(), 1189.0, 1.0);
    EXPECT_NEAR(events[1]["job"]["filament_used"].get<double>(), 1620.33, 0.01);
    EXPECT_EQ(events[1]["job"]["metadata"]["slicer"], "SimSlicer");

    // The status went through printing with rising progress, to complete.
    double last_progress = -1;
    bool printing = false, complete = false, monotonic = true;
    for (const auto& f : client->notifications("notify_status_update")) {
        const auto& s = f.json["params"][0];
        if (s.contains("print_stats") && s["print_stats"].contains("state")) {
            printing = printing || s["print_stats"]["state"] == "printing";
            complete = complete || s["print_stats"]["state"] == "complete";
        }
        if (s.contains("virtual_sdcard") && s["virtual_sdcard"].contains("progress")) {
            const double p = s["virtual_sdcard"]["progress"];
            monotonic = monotonic && p >= last_progress;
            last_progress = p;
        }
    }
    EXPECT_TRUE(printing);
    EXPECT_TRUE(complete);
    EXPECT_TRUE(monotonic);
    EXPECT_NEAR(last_progress, 1.0, 0.05);
    EXPECT_EQ(printer->print_state(), "complete");
    const auto status = nlohmann::json::parse(printer->status_text());
    EXPECT_EQ(status["print_stats"]["info"]["total_layer"], 100);
    EXPECT_EQ(status["print_stats"]["info"]["current_layer"], 100);
    EXPECT_EQ(status["display_status"]["progress"], 1.0);

    const auto history = client->call("server.history.list", {{"start", 0}, {"limit", 1}, {"order", "desc"}}, 6);
    EXPECT_EQ(history["result"]["count"], 4);
    EXPECT_EQ(history["result"]["jobs"][0]["job_id"], events[0]["job"]["job_id"]);
    EXPECT_EQ(history["result"]["jobs"][0]["status"], "completed");
    EXPECT_EQ(history["result"]["jobs"][0]["exists"], true);
}

TEST_F(SimTest, PauseResumeAndCancel) {
    auto options = print_options();
    options.print_duration = std::chrono::milliseconds(5000);
    start(options);
    EXPECT_EQ(client->call("printer.print.start", {{"filename", "phone_stand_0.2mm_PLA.gcode"}}, 20)["result"], "ok");
    EXPECT_EQ(client->call("printer.print.pause", nlohmann::json::object(), 21)["result"], "ok");
    EXPECT_EQ(printer->print_state(), "paused");
    const auto paused = nlohmann::json::parse(printer->status_text())["virtual_sdcard"]["progress"];
    EXPECT_EQ(client->call("printer.print.pause", nlohmann::json::object(), 22)["result"], "ok");
    EXPECT_TRUE(client->wait_gcode_response("// Print already paused", 2000ms));
    EXPECT_EQ(nlohmann::json::parse(printer->status_text())["virtual_sdcard"]["progress"], paused);
    EXPECT_EQ(client->call("printer.print.resume", nlohmann::json::object(), 23)["result"], "ok");
    EXPECT_EQ(printer->print_state(), "printing");
    EXPECT_EQ(client->call("printer.print.cancel", nlohmann::json::object(), 24)["result"], "ok");
    EXPECT_EQ(printer->print_state(), "cancelled");
    ASSERT_TRUE(client->wait_notifications("notify_history_changed", 2, 2000ms));
    const auto events = history_events(*client);
    EXPECT_EQ(events[1]["action"], "finished");
    EXPECT_EQ(events[1]["job"]["status"], "cancelled");
}

TEST_F(SimTest, PrintOfMissingFileIsRefused) {
    start();
    const auto reply = client->call("printer.print.start", {{"filename", "nope.gcode"}}, 20);
    EXPECT_EQ(reply["error"]["code"], 400);
    EXPECT_EQ(reply["error"]["message"], "Unable to open file");
    EXPECT_TRUE(client->wait_gcode_response("!! Unable to open file", 2000ms));
    EXPECT_EQ(printer->print_state(), "standby");
}

TEST_F(SimTest, AFileNameWithQuotesSpacesAndNonAsciiStartsAndABusyPrinterRefusesAnother) {
    auto options = print_options();
    options.print_duration = std::chrono::milliseconds(60000);
    printer_sim::GcodeFile odd = options.files.front();
    odd.filename = "bracket \"v2\" f\xC3\xBCr Jos\xC3\xA9.gcode";
    options.files.push_back(odd);
    start(options);
    EXPECT_EQ(client->call("printer.print.start", {{"filename", odd.filename}}, 20)["result"], "ok");
    EXPECT_EQ(printer->print_state(), "printing");
    EXPECT_EQ(nlohmann::json::parse(printer->status_text())["print_stats"]["filename"], odd.filename);
    const auto busy = client->call("printer.print.start", {{"filename", "phone_stand_0.2mm_PLA.gcode"}}, 21);
    EXPECT_EQ(busy["error"]["code"], 400);
    EXPECT_EQ(busy["error"]["message"], "SD busy");
    EXPECT_EQ(client->call("printer.print.resume", nlohmann::json::object(), 22)["result"], "ok");
    EXPECT_TRUE(client->wait_gcode_response("// Print is not paused, resume aborted", 2000ms));
    EXPECT_EQ(printer->print_state(), "printing");
}

TEST_F(SimTest, EmergencyStopEndsAPrintAndARestartBringsTheFirmwareBackIdle) {
    auto options = print_options();
    options.print_duration = std::chrono::milliseconds(60000);
    start(options);
    subscribe_all();
    EXPECT_EQ(client->call("printer.print.start", {{"filename", "phone_stand_0.2mm_PLA.gcode"}}, 20)["result"], "ok");
    EXPECT_EQ(client->call("printer.emergency_stop", nlohmann::json::object(), 21)["result"], "ok");
    EXPECT_EQ(printer->klippy_state(), "shutdown");
    EXPECT_EQ(printer->print_state(), "error");
    ASSERT_TRUE(client->wait_notifications("notify_history_changed", 2, 2000ms));
    EXPECT_EQ(history_events(*client)[1]["job"]["status"], "klippy_shutdown");
    // Down, the firmware refuses to print or pause, and takes its restart.
    const auto print = client->call("printer.print.start", {{"filename", "phone_stand_0.2mm_PLA.gcode"}}, 22);
    EXPECT_EQ(print["error"]["message"].get<std::string>().rfind("Shutdown due to webhooks request", 0), 0u) << print;
    const auto pause = client->call("printer.print.pause", nlohmann::json::object(), 23);
    EXPECT_EQ(pause["error"]["code"], 400) << pause;
    EXPECT_EQ(client->call("printer.restart", nlohmann::json::object(), 24)["result"], "ok");
    ASSERT_TRUE(client->wait_notifications("notify_klippy_ready", 1, 2000ms));
    EXPECT_EQ(printer->klippy_state(), "ready");
    EXPECT_EQ(printer->print_state(), "standby");
}

TEST_F(SimTest, HistoryHonoursStartLimitAndOrder) {
    start();
    auto ids = [&](const nlohmann::json& params, int id) {
        std::vector<std::string> out;
        const auto reply = client->call("server.history.list", params, id);
        EXPECT_EQ(reply["result"]["count"], 3) << reply.dump();
        for (const auto& job : reply["result"]["jobs"]) out.push_back(job["job_id"]);
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(ids({{"start", 0}, {"limit", 2}, {"order", "desc"}}, 7), (V{"000003", "000002"}));
    EXPECT_EQ(ids({{"start", 1}, {"limit", 5}, {"order", "asc"}}, 8), (V{"000002", "000003"}));
    EXPECT_EQ(ids({{"start", 2}, {"limit", 1}, {"order", "asc"}}, 9), (V{"000003"}));
    EXPECT_EQ(ids({{"start", 5}, {"limit", 1}, {"order", "asc"}}, 10), V{});
    EXPECT_EQ(ids(nlohmann::json::object(), 11), (V{"000003", "000002", "000001"}));
    EXPECT_EQ(ids({{"start", "1"}, {"limit", "1"}}, 12), (V{"000002"}));

    const auto bad_order = client->call("server.history.list", {{"order", "sideways"}}, 13);
    EXPECT_EQ(bad_order["error"]["code"], 400);
    EXPECT_EQ(bad_order["error"]["message"], "Invalid `order` value: sideways");
    const auto bad_start = client->call("server.history.list", {{"start", "x"}}, 14);
    EXPECT_EQ(bad_start["error"]["code"], 400);

    const auto job = client->call("server.history.list", {{"limit", 1}}, 15)["result"]["jobs"][0];
    for (const char* key : {"job_id", "exists", "end_time", "filament_used", "filename", "metadata", "print_duration",
                            "status", "start_time", "total_duration"}) {
        EXPECT_TRUE(job.contains(key)) << key;
    }
    EXPECT_TRUE(job["job_id"].is_string());
    EXPECT_TRUE(job["exists"].is_boolean());
    EXPECT_TRUE(job["metadata"].contains("first_layer_extr_temp"));
}

TEST_F(SimTest, DirectoryAndMetadata) {
    start();
    const auto dir = client->call("server.files.get_directory", {{"path", "gcodes"}}, 4)["result"];
    EXPECT_EQ(dir["dirs"], nlohmann::json::array());
    ASSERT_EQ(dir["files"].size(), 4u);
    for (const char* key : {"filename", "modified", "size", "permissions"}) {
        EXPECT_TRUE(dir["files"][0].contains(key)) << key;
    }
    EXPECT_EQ(dir["root_info"], nlohmann::json({{"name", "gcodes"}, {"permissions", "rw"}}));
    EXPECT_TRUE(dir["disk_usage"].contains("free"));

    const auto meta = client->call("server.files.metadata", {{"filename", "boat_test_0.15mm_PETG.gcode"}}, 5)["result"];
    for (const char* key : {"size", "modified", "uuid", "slicer", "slicer_version", "layer_height",
                            "first_layer_height", "object_height", "filament_total", "filament_weight_total",
                            "estimated_time", "first_layer_bed_temp", "first_layer_extr_temp", "gcode_start_byte",
                            "gcode_end_byte", "nozzle_diameter", "filament_name", "filament_type", "thumbnails",
                            "filename"}) {
        EXPECT_TRUE(meta.contains(key)) << key;
    }
    EXPECT_EQ(meta["filament_type"], "PETG");
    EXPECT_EQ(meta["thumbnails"][1]["width"], 300);
    EXPECT_EQ(meta["thumbnails"][1]["relative_path"], ".thumbs/boat_test_0.15mm_PETG-300x300.png");

    const auto missing = client->call("server.files.metadata", {{"filename", "nope.gcode"}}, 55);
    EXPECT_EQ(missing["error"]["code"], -32601);
    EXPECT_EQ(missing["error"]["message"], "Metadata not available for nope.gcode");
}

TEST_F(SimTest, DeleteFileNotifiesEveryClient) {
    start();
    TestClient second;
    ASSERT_TRUE(connect(second));
    const auto reply =
        client->call("server.files.delete_file", {{"path", "gcodes/vase_spiral_0.24mm_PLA.gcode"}}, 8)["result"];
    EXPECT_EQ(reply["action"], "delete_file");
    EXPECT_EQ(reply["item"]["path"], "vase_spiral_0.24mm_PLA.gcode");
    EXPECT_EQ(reply["item"]["root"], "gcodes");
    ASSERT_TRUE(client->wait_notifications("notify_filelist_changed", 1, 2000ms));
    ASSERT_TRUE(second.wait_notifications("notify_filelist_changed", 1, 2000ms));
    const auto note = second.notifications("notify_filelist_changed").front().json["params"][0];
    EXPECT_EQ(note["action"], "delete_file");
    EXPECT_EQ(note["item"]["path"], "vase_spiral_0.24mm_PLA.gcode");

    const auto dir = client->call("server.files.get_directory", {{"path", "gcodes"}}, 4)["result"];
    EXPECT_EQ(dir["files"].size(), 3u);
    const auto again = client->call("server.files.delete_file", {{"path", "gcodes/vase_spiral_0.24mm_PLA.gcode"}}, 88);
    EXPECT_EQ(again["error"]["code"], 404);
    EXPECT_EQ(client->notifications("notify_filelist_changed").size(), 1u);
}

TEST_F(SimTest, RestartBringsBackTheOriginalFilesOnTheSamePort) {
    start();
    const auto port = printer->port();
    client->call("server.files.delete_file", {{"path", "gcodes/vase_spiral_0.24mm_PLA.gcode"}}, 8);
    printer->restart();
    EXPECT_EQ(printer->port(), port);
    EXPECT_TRUE(client->wait_closed(2000ms));
    EXPECT_EQ(client->close_code(), 1001);
    TestClient again;
    ASSERT_TRUE(again.connect(port));
    EXPECT_EQ(again.call("server.files.get_directory", {{"path", "gcodes"}}, 4)["result"]["files"].size(), 4u);
}

TEST(SimGroup, ManyPrintersOnOneThread) {
    printer_sim::PrinterGroup group;
    for (int i = 0; i < 20; ++i) {
        auto options = fast_options();
        options.hostname = "PemraX" + std::to_string(i);
        group.add(options);
    }
    ASSERT_EQ(group.size(), 20u);
    TestClient a, b;
    ASSERT_TRUE(a.connect(group.at(3).port()));
    ASSERT_TRUE(b.connect(group.at(17).port()));
    EXPECT_EQ(a.call("printer.info", nlohmann::json::object(), 3)["result"]["hostname"], "PemraX3");
    EXPECT_EQ(b.call("printer.info", nlohmann::json::object(), 3)["result"]["hostname"], "PemraX17");
    EXPECT_EQ(group.at(3).start_print("calibration_cube_0.2mm_PLA.gcode"), "ok");
    EXPECT_EQ(group.at(3).print_state(), "printing");
    EXPECT_EQ(group.at(17).print_state(), "standby");
    group.stop();
    EXPECT_TRUE(a.wait_closed(2000ms));
    EXPECT_FALSE(group.at(3).running());
}

}  // namespace
}  // namespace sim_test
