// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The status board's field ids of every value Klippy publishes, looked up
// once at registration so publishing never searches by name.

#include "klippy.h"

namespace printer_sim::detail {

struct Klippy::FieldIds {
    int webhooks_state, webhooks_message;
    int mcu_last_stats;
    int gm_speed_factor, gm_speed, gm_extrude_factor, gm_absolute_coordinates, gm_absolute_extrude,
        gm_homing_origin, gm_position, gm_gcode_position;
    int ps_filename, ps_total_duration, ps_print_duration, ps_filament_used, ps_state, ps_message, ps_info;
    int sd_file_path, sd_progress, sd_is_active, sd_file_position, sd_file_size;
    int pause_is_paused;
    int ds_progress, ds_message;
    int pins[6];
    int box_fan_speed, box_fan_rpm, box_fan_value;
    int bed_temperature, bed_target, bed_power;
    int fan_speed, fan_rpm;
    int idle_state, idle_printing_time;
    int mesh_profile_name, mesh_min, mesh_max, mesh_probed, mesh_matrix;
    int steppers;
    int sys_sysload, sys_cputime, sys_memavail;
    int th_homed_axes, th_print_time, th_estimated_print_time, th_position;
    int ex_temperature, ex_target, ex_power, ex_can_extrude;
};

}  // namespace printer_sim::detail
