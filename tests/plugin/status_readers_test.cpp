// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "parsed_json.h"

#include "pemra_network/machine_status.h"
#include "status/json_read.h"
#include "status/status_readers.h"

namespace {

using json = nlohmann::json;
using pemra::status::apply_readers;
using pemra::status::derive_states;

struct Case {
    const char* name;
    std::string hostname;      // set before the updates
    std::vector<const char*> updates;  // applied in order
    std::function<void(const MachineStatus&)> check;
};

void run(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MachineStatus s;
        s.hostname = c.hostname;
        for (const char* update : c.updates) apply_readers(s, test_json::Parsed(update));
        c.check(s);
    }
}

TEST(StatusReaders, HeatersFansAndLights) {
    run({
        {"model limits of the first model", "Pemra A2",
         {R"({"extruder":{"target":210},"heater_bed":{"target":60}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.extruder.target, 210);
             EXPECT_EQ(s.extruder.max_temp, 350);
             EXPECT_EQ(s.heater_bed.max_temp, 120);
         }},
        {"model limits of the other two models", "Pemra C300",
         {R"({"extruder":{"target":200},"heater_bed":{"target":55}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.extruder.max_temp, 300);
             EXPECT_EQ(s.heater_bed.max_temp, 110);
         }},
        {"other names keep the limits", "pemra a2",
         {R"({"extruder":{"target":200},"heater_bed":{"target":55}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.extruder.max_temp, 0);
             EXPECT_EQ(s.heater_bed.max_temp, 0);
         }},
        {"a null target changes neither target nor limit", "Pemra B2",
         {R"({"extruder":{"target":null,"temperature":25.5,"can_extrude":false}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.extruder.target, 0);
             EXPECT_EQ(s.extruder.max_temp, 0);
             EXPECT_EQ(s.extruder.temperature, 25.5);
         }},
        {"every extruder field", "",
         {R"({"extruder":{"can_extrude":true,"temperature":1,"target":2,"power":0.3,"pressure_advance":0.04,"smooth_time":0.05},
              "heater_bed":{"temperature":4,"power":0.6}})"},
         [](const MachineStatus& s) {
             EXPECT_TRUE(s.extruder.can_extrude);
             EXPECT_EQ(s.extruder.power, 0.3);
             EXPECT_EQ(s.extruder.pressure_advance, 0.04);
             EXPECT_EQ(s.extruder.smooth_time, 0.05);
             EXPECT_EQ(s.heater_bed.temperature, 4);
             EXPECT_EQ(s.heater_bed.power, 0.6);
         }},
        {"last light above 0.1 wins and stays", "",
         {R"({"output_pin LED_RED":{"value":1.0},"output_pin LED_WHITE":{"value":1.0}})",
          R"({"output_pin LED_RED":{"value":0}})"},
         [](const MachineStatus& s) { EXPECT_EQ(s.led_color, 2); }},
        {"orange", "",
         {R"({"output_pin LED_ORANGE":{"value":0.5},"output_pin LED_WHITE":{"value":0.1}})"},
         [](const MachineStatus& s) { EXPECT_EQ(s.led_color, 1); }},
        {"switches", "",
         {R"({"output_pin box_led":{"value":0.5},"fan_generic box_fan":{"value":0.2},"output_pin drying_box_heater":{"value":1}})",
          R"({"output_pin box_led":{"value":0.1}})"},
         [](const MachineStatus& s) {
             EXPECT_FALSE(s.box_led_on);
             EXPECT_TRUE(s.box_fan_on);
             EXPECT_TRUE(s.drying_box.heater_on);
         }},
        {"fan", "", {R"({"fan":{"rpm":null,"speed":0.5}})", R"({"fan":{"rpm":1520.7}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.fan.speed, 0.5);
             EXPECT_EQ(s.fan.rpm, 1520);
         }},
        {"box fan speed, then the pin overrides it", "",
         {R"({"fan_generic box_fan":{"speed":0.4,"rpm":3000}})",
          R"({"fan_generic box_fan":{"speed":0.3},"output_pin BOXFAN_pin":{"value":0.8}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.box_fan.speed, 0.8);
             EXPECT_EQ(s.box_fan.rpm, 3000);
             EXPECT_EQ(s.box_fan.max_power, 1.0);
         }},
    });
}

TEST(StatusReaders, MotionAndToolhead) {
    run({
        {"flags are independent", "", {R"({"gcode_move":{"absolute_coordinates":true,"absolute_extrude":false}})"},
         [](const MachineStatus& s) {
             EXPECT_TRUE(s.gcode_move.absolute_coordinates);
             EXPECT_FALSE(s.gcode_move.absolute_extrude);
         }},
        {"arrays fill from the front", "",
         {R"({"gcode_move":{"position":[10,20,30,40,50],"gcode_position":[1,2,3,4]}})",
          R"({"gcode_move":{"position":[1,2],"speed":1500,"speed_factor":1.1,"extrude_factor":0.9}})"},
         [](const MachineStatus& s) {
             const double expected[4] = {1, 2, 30, 40};
             for (int i = 0; i < 4; ++i) EXPECT_EQ(s.gcode_move.position[i], expected[i]);
             EXPECT_EQ(s.gcode_move.gcode_position[3], 4);
             EXPECT_EQ(s.gcode_move.speed, 1500);
             EXPECT_EQ(s.gcode_move.speed_factor, 1.1);
             EXPECT_EQ(s.gcode_move.extrude_factor, 0.9);
         }},
        {"toolhead homing origin wins", "",
         {R"({"gcode_move":{"homing_origin":[0,0,0,0]},"toolhead":{"homing_origin":[1,2,3,4]}})"},
         [](const MachineStatus& s) { EXPECT_EQ(s.gcode_move.homing_origin[3], 4); }},
        {"toolhead fields", "",
         {R"({"toolhead":{"homed_axes":"xyz","extruder":"extruder","print_time":1.5,"estimated_print_time":2.5,
               "max_velocity":300,"max_accel":3000,"max_accel_to_decel":1500,"square_corner_velocity":5,"stalls":3.9,
               "position":[1,2,3,4],"axis_minimum":[-5,-5,0,0],"axis_maximum":[235,235,250,0]}})",
          R"({"toolhead":{"homed_axes":null}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.toolhead.homed_axes, "xyz") << "null keeps the text";
             EXPECT_EQ(s.toolhead.extruder, "extruder");
             EXPECT_EQ(s.toolhead.stalls, 3);
             EXPECT_EQ(s.toolhead.max_accel_to_decel, 1500);
             EXPECT_EQ(s.toolhead.square_corner_velocity, 5);
             EXPECT_EQ(s.toolhead.axis_minimum[0], -5);
             EXPECT_EQ(s.toolhead.axis_maximum[2], 250);
             EXPECT_EQ(s.toolhead.estimated_print_time, 2.5);
         }},
        {"an empty homed_axes is stored", "", {R"({"toolhead":{"homed_axes":"xy"}})", R"({"toolhead":{"homed_axes":""}})"},
         [](const MachineStatus& s) { EXPECT_EQ(s.toolhead.homed_axes, ""); }},
    });
}

TEST(StatusReaders, JobProgress) {
    run({
        {"null empties some strings and keeps others", "",
         {R"({"print_stats":{"state":"printing","filename":"a.gcode"},"idle_timeout":{"state":"Printing"},"webhooks":{"state":"ready","state_message":"ok"}})",
          R"({"print_stats":{"state":null},"idle_timeout":{"state":null},"webhooks":{"state_message":null}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.print_stats.state, "");
             EXPECT_EQ(s.print_stats.filename, "a.gcode");
             EXPECT_EQ(s.idle_timeout.state, "Printing");
             EXPECT_EQ(s.webhooks.state, "ready");
             EXPECT_EQ(s.webhooks.state_message, "");
         }},
        {"layers come from integers only", "",
         {R"({"print_stats":{"info":{"total_layer":120,"current_layer":5}}})",
          R"({"print_stats":{"info":{"current_layer":5.0,"total_layer":"x"}}})",
          R"({"print_stats":{"info":{"current_layer":null}}})", R"({"print_stats":{"info":7}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.print_stats.total_layer, 120);
             EXPECT_EQ(s.print_stats.current_layer, 5);
         }},
        {"int32 file fields", "",
         {R"({"virtual_sdcard":{"file_size":3000000000,"file_position":12.9,"is_active":true,"progress":0.25,"file_path":"/x.gcode"}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.virtual_sdcard.file_size, -1294967296);
             EXPECT_EQ(s.virtual_sdcard.file_position, 12);
             EXPECT_TRUE(s.virtual_sdcard.is_active);
             EXPECT_EQ(s.virtual_sdcard.progress, 0.25);
             EXPECT_EQ(s.virtual_sdcard.file_path, "/x.gcode");
         }},
        {"a boolean position", "", {R"({"virtual_sdcard":{"file_position":true}})"},
         [](const MachineStatus& s) { EXPECT_EQ(s.virtual_sdcard.file_position, 1); }},
        {"one field alone", "",
         {R"({"virtual_sdcard":{"progress":0.1,"file_size":10},"display_status":{"progress":0.2}})",
          R"({"virtual_sdcard":{"progress":0.5}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.virtual_sdcard.progress, 0.5);
             EXPECT_EQ(s.virtual_sdcard.file_size, 10);
             EXPECT_EQ(s.display_status.progress, 0.2);
         }},
        {"an entry that is not an object", "", {R"({"print_stats":{"state":"paused"}})", R"({"print_stats":null})"},
         [](const MachineStatus& s) { EXPECT_EQ(s.print_stats.state, "paused"); }},
        {"durations and message", "",
         {R"({"print_stats":{"total_duration":100.5,"print_duration":90,"filament_used":1234.5,"message":"m"},"idle_timeout":{"printing_time":42}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.print_stats.total_duration, 100.5);
             EXPECT_EQ(s.print_stats.print_duration, 90);
             EXPECT_EQ(s.print_stats.filament_used, 1234.5);
             EXPECT_EQ(s.print_stats.message, "m");
             EXPECT_EQ(s.idle_timeout.printing_time, 42);
         }},
    });
}

TEST(StatusReaders, ConfigurationAndBedMesh) {
    run({
        {"fan max power from the settings", "", {R"({"configfile":{"settings":{"fan":{"max_power":0.8}}}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.fan.max_power, 0.8);
             EXPECT_FALSE(s.save_config_pending);
         }},
        {"other shapes keep it", "",
         {R"({"configfile":{"settings":{"fan":{"max_power":null}}}})", R"({"configfile":{"settings":{"extruder":{}}}})",
          R"({"configfile":{"settings":7}})", R"({"configfile":{"settings":{"fan":[]}}})"},
         [](const MachineStatus& s) { EXPECT_EQ(s.fan.max_power, 1.0); }},
        {"save pending toggles", "",
         {R"({"configfile":{"save_config_pending":true}})", R"({"configfile":{"save_config_pending":false}})"},
         [](const MachineStatus& s) { EXPECT_FALSE(s.save_config_pending); }},
        {"mesh extent", "",
         {R"({"bed_mesh":{"mesh_min":[-100.5,-95.0],"mesh_max":[100.5,95.0]}})",
          R"({"bed_mesh":{"mesh_min":[1,2,3],"mesh_max":null}})"},
         [](const MachineStatus& s) {
             EXPECT_EQ(s.bed_mesh.mesh_min[0], 1);
             EXPECT_EQ(s.bed_mesh.mesh_min[1], 2);
             EXPECT_EQ(s.bed_mesh.mesh_max[0], 100.5);
             EXPECT_EQ(s.bed_mesh.mesh_max[1], 95.0);
         }},
    });
}

TEST(StatusReaders, TypeErrorStopsTheUpdateAfterWhatWasRead) {
    const char* cases[] = {
        R"({"gcode_move":{"absolute_extrude":1}})",
        R"({"output_pin box_led":{"value":true}})",
        R"({"extruder":{"can_extrude":1}})",
        R"({"fan":{"speed":false}})",
        R"({"virtual_sdcard":{"progress":"half"}})",
        R"({"print_stats":{"state":3}})",
        R"({"configfile":{"save_config_pending":0}})",
        R"({"configfile":{"settings":{"fan":{"max_power":"1"}}}})",
        R"({"bed_mesh":{"mesh_min":["a"]}})",
        R"({"toolhead":{"position":[1,"2"]}})",
    };
    for (const char* update : cases) {
        MachineStatus s;
        EXPECT_THROW(apply_readers(s, test_json::Parsed(update)), pemra::json_read::ReadError) << update;
    }

    MachineStatus s;
    const auto update = test_json::Parsed(
        R"({"extruder":{"temperature":200,"target":"hot","power":0.5},"heater_bed":{"temperature":60}})");
    EXPECT_THROW(apply_readers(s, update), pemra::json_read::ReadError);
    EXPECT_EQ(s.extruder.temperature, 200) << "read before the bad field";
    EXPECT_EQ(s.extruder.power, 0) << "after the bad field";
    EXPECT_EQ(s.heater_bed.temperature, 0) << "later readers do not run";
}

TEST(StatusReaders, NonObjectsAndUnknownKeysAreIgnored) {
    MachineStatus s;
    for (const char* update : {"12.5", "null", "[1,2]", R"("text")", R"({"unknown":{"x":1},"extruder":[1]})"}) {
        EXPECT_NO_THROW(apply_readers(s, test_json::Parsed(update))) << update;
    }
    EXPECT_EQ(s.extruder.temperature, 0);
}

TEST(StatusReaders, OfARepeatedObjectTheLastCounts) {
    // A full status holds every object the printer has, well past the
    // handful a usual update carries.
    for (int fillers : {0, 30}) {
        std::string update = R"({"extruder":{"temperature":1},"heater_bed":null)";
        for (int i = 0; i < fillers; ++i) update += R"(,"temperature_sensor s)" + std::to_string(i) + R"(":{"temperature":5})";
        update += R"(,"extruder":{"power":0.5},"heater_bed":{"temperature":60}})";
        MachineStatus s;
        apply_readers(s, test_json::Parsed(update));
        EXPECT_EQ(s.extruder.temperature, 0) << "only the last extruder object is read, " << fillers;
        EXPECT_EQ(s.extruder.power, 0.5) << fillers;
        EXPECT_EQ(s.heater_bed.temperature, 60) << fillers;
    }
}

TEST(StateDerivation, PrecedenceAndMapping) {
    struct Row {
        int connect_state, klippy_state;
        const char* print_stats_state;
        int print_state_before;
        int machine_state, print_state;
    };
    const Row rows[] = {
        {3, 1, "printing", 0, 2, 0},   // a closed link wins over everything
        {1, 4, "printing", 3, 7, 3},   // firmware shut down
        {1, 3, "standby", 1, 7, 1},    // firmware disconnected
        {1, 1, "printing", 0, 5, 2},   {1, 1, "paused", 0, 5, 3},    {1, 1, "standby", 2, 4, 1},
        {1, 1, "complete", 2, 4, 4},   {1, 1, "cancelled", 2, 4, 5}, {1, 1, "error", 2, 4, 6},
        {1, 0, "", 0, 4, 0},           // nothing known yet
        {1, 1, "Printing", 6, 4, 6},   // case matters: unchanged
        {0, 0, "printing", 0, 5, 2},   // after a reconnect the remembered state comes back
    };
    for (const auto& r : rows) {
        MachineStatus s;
        s.connect_state = r.connect_state;
        s.klippy_state = r.klippy_state;
        s.print_stats.state = r.print_stats_state;
        s.print_state = r.print_state_before;
        derive_states(s);
        EXPECT_EQ(s.machine_state, r.machine_state) << r.print_stats_state << " " << r.connect_state << r.klippy_state;
        EXPECT_EQ(s.print_state, r.print_state) << r.print_stats_state << " " << r.connect_state << r.klippy_state;
    }
}

}  // namespace
