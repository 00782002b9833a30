// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include <cstdint>
#include <string>

// Everything the plug-in knows about one printer. The host receives it by
// value through the machine-status callback, so this declaration is a binary
// interface: members are never added, removed or reordered, and members the
// plug-in never fills keep their place.
//
// State codes the host reads:
//   machine_state  0 unknown, 1 reconnecting, 2 offline, 4 idle,
//                  5 printing or paused, 7 firmware shut down or disconnected
//   print_state    0 unknown, 1 standby, 2 printing, 3 paused, 4 complete,
//                  5 cancelled, 6 error
//   connect_state  0 not yet open, 1 open, 3 closed or failed
//   klippy_state   0 unknown, 1 ready, 3 disconnected, 4 shutdown or halted by an error
//   heartbeat      0 unknown, 1 pong timed out, 2 link alive
// The codes are named below, as constants of the members' own type.
struct MachineStatus {
    std::int32_t load_filament_state = 0;    // 2 heating completed, 3 done
    std::int32_t unload_filament_state = 0;  // 2 heating completed, 3 done
    std::int32_t heartbeat = 0;
    std::int32_t machine_state = 0;
    std::int32_t print_state = 0;
    std::int32_t connect_state = 0;
    std::int32_t klippy_state = 0;

    struct DryingBox {
        std::string spare_text;  // never written
        bool spare_flag = false; // never written
        bool heater_on = false;
    } drying_box;

    std::int32_t led_color = 0;  // light last seen on: 0 white, 1 orange, 2 red
    bool box_led_on = false;
    bool box_fan_on = false;
    std::string hostname;
    std::string software_version;

    struct Webhooks {
        std::string state;
        std::string state_message;
    } webhooks;

    struct GcodeMove {
        double speed_factor = 0;
        double speed = 0;
        double extrude_factor = 0;
        double homing_origin[4] = {0, 0, 0, 0};
        double position[4] = {0, 0, 0, 0};
        double gcode_position[4] = {0, 0, 0, 0};
        bool absolute_coordinates = false;
        bool absolute_extrude = false;
    } gcode_move;

    struct Toolhead {
        double print_time = 0;
        double estimated_print_time = 0;
        double position[4] = {0, 0, 0, 0};
        double max_velocity = 0;
        double max_accel = 0;
        double max_accel_to_decel = 0;
        double square_corner_velocity = 0;
        double axis_minimum[4] = {0, 0, 0, 0};
        double axis_maximum[4] = {0, 0, 0, 0};
        std::int32_t stalls = 0;
        std::string homed_axes;
        std::string extruder;
    } toolhead;

    bool save_config_pending = false;

    struct Extruder {
        double temperature = 0;
        double target = 0;
        double power = 0;
        double pressure_advance = 0;
        double smooth_time = 0;
        bool can_extrude = false;
        double max_temp = 0;  // set from the printer model
    } extruder;

    struct HeaterBed {
        double temperature = 0;
        double target = 0;
        double power = 0;
        double max_temp = 0;  // set from the printer model
    } heater_bed;

    struct Fan {
        double speed = 0;
        std::int32_t rpm = 0;
        double max_power = 1.0;
    } fan;

    struct BoxFan {
        double speed = 0;
        std::int32_t rpm = 0;
        double max_power = 1.0;  // never written
    } box_fan;

    struct IdleTimeout {
        double printing_time = 0;
        std::string state;
    } idle_timeout;

    struct VirtualSdcard {
        bool is_active = false;
        double progress = 0;
        std::int32_t file_position = 0;
        std::int32_t file_size = 0;
        std::string file_path;
    } virtual_sdcard;

    struct PrintStats {
        double total_duration = 0;
        double print_duration = 0;
        double filament_used = 0;
        std::int32_t total_layer = 0;
        std::int32_t current_layer = 0;
        std::string filename;
        std::string state;
        std::string message;
    } print_stats;

    struct DisplayStatus {
        double progress = 0;
        std::string spare_text;  // never written
    } display_status;

    struct BedMesh {
        double mesh_min[2] = {0, 0};
        double mesh_max[2] = {0, 0};
    } bed_mesh;

    // The printer's most recent print job, from its history.
    struct LastJob {
        double end_time = 0;
        double start_time = 0;
        double filament_used = 0;
        double print_duration = 0;
        double total_duration = 0;
        bool exists = false;
        std::string status;
        std::string job_id;
        std::string filename;
        std::string filament_name;
        std::string filament_type;
        std::string thumbnail_path;
        std::string uuid;
        std::string slicer;
        std::string slicer_version;
        double estimated_time = 0;
        double filament_total = 0;
        double filament_weight_total = 0;
        double modified = 0;
        double size = 0;
        double first_layer_bed_temp = 0;
        double first_layer_extr_temp = 0;
        double first_layer_height = 0;
        double layer_height = 0;
        double metadata_height = 0;
        double gcode_start_byte = 0;
        double gcode_end_byte = 0;
        double nozzle_diameter = 0;
    } last_job;
};

// The codes of MachineStatus's state members by name.
namespace pemra {
namespace machine_state {
constexpr std::int32_t unknown = 0;
constexpr std::int32_t reconnecting = 1;
constexpr std::int32_t offline = 2;
constexpr std::int32_t idle = 4;
constexpr std::int32_t busy = 5;           // printing or paused
constexpr std::int32_t firmware_down = 7;  // shut down or disconnected
}  // namespace machine_state
namespace print_state {
constexpr std::int32_t unknown = 0;
constexpr std::int32_t standby = 1;
constexpr std::int32_t printing = 2;
constexpr std::int32_t paused = 3;
constexpr std::int32_t complete = 4;
constexpr std::int32_t cancelled = 5;
constexpr std::int32_t error = 6;
}  // namespace print_state
namespace connect_state {
constexpr std::int32_t not_open = 0;
constexpr std::int32_t open = 1;
constexpr std::int32_t closed = 3;  // closed or failed
}  // namespace connect_state
namespace klippy_state {
constexpr std::int32_t unknown = 0;
constexpr std::int32_t ready = 1;
constexpr std::int32_t disconnected = 3;
constexpr std::int32_t shutdown = 4;  // or halted by an error
}  // namespace klippy_state
namespace heartbeat {
constexpr std::int32_t unknown = 0;
constexpr std::int32_t pong_timed_out = 1;
constexpr std::int32_t alive = 2;
}  // namespace heartbeat
// load_filament_state and unload_filament_state.
namespace filament_state {
constexpr std::int32_t none = 0;
constexpr std::int32_t heating_completed = 2;
constexpr std::int32_t done = 3;
}  // namespace filament_state
namespace led_color {
constexpr std::int32_t white = 0;
constexpr std::int32_t orange = 1;
constexpr std::int32_t red = 2;
}  // namespace led_color
}  // namespace pemra
