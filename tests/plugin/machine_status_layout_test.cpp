// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// MachineStatus crosses the library boundary by value, so its layout is a
// binary interface with the host. The expected offsets below follow from the
// record's declared member list and natural alignment (bool 1, int32 4,
// double 8, string 32 bytes aligned to 8 on this platform, nested groups
// aligned to their strictest member and padded), worked out independently of
// the header. Reordering, adding or dropping a member, or flattening a group
// changes at least one of them.

#include <cstddef>
#include <string>

#include <gtest/gtest.h>

#include "pemra_network/machine_status.h"

namespace {

struct Expected {
    const char* member;
    std::ptrdiff_t actual;
    std::ptrdiff_t expected;
};

TEST(MachineStatusLayout, MembersSitWhereTheHostExpectsThem) {
    static_assert(sizeof(std::string) == 32, "offsets below assume the 64-bit string layout");
    const MachineStatus s;
    const char* base = reinterpret_cast<const char*>(&s);
    auto offset = [base](const auto& member) { return reinterpret_cast<const char*>(&member) - base; };
    const Expected table[] = {
        {"load_filament_state", offset(s.load_filament_state), 0},
        {"unload_filament_state", offset(s.unload_filament_state), 4},
        {"heartbeat", offset(s.heartbeat), 8},
        {"machine_state", offset(s.machine_state), 12},
        {"print_state", offset(s.print_state), 16},
        {"connect_state", offset(s.connect_state), 20},
        {"klippy_state", offset(s.klippy_state), 24},
        {"drying_box.spare_text", offset(s.drying_box.spare_text), 32},
        {"drying_box.spare_flag", offset(s.drying_box.spare_flag), 64},
        {"drying_box.heater_on", offset(s.drying_box.heater_on), 65},
        {"led_color", offset(s.led_color), 72},
        {"box_led_on", offset(s.box_led_on), 76},
        {"box_fan_on", offset(s.box_fan_on), 77},
        {"hostname", offset(s.hostname), 80},
        {"software_version", offset(s.software_version), 112},
        {"webhooks.state", offset(s.webhooks.state), 144},
        {"webhooks.state_message", offset(s.webhooks.state_message), 176},
        {"gcode_move.speed_factor", offset(s.gcode_move.speed_factor), 208},
        {"gcode_move.speed", offset(s.gcode_move.speed), 216},
        {"gcode_move.extrude_factor", offset(s.gcode_move.extrude_factor), 224},
        {"gcode_move.homing_origin", offset(s.gcode_move.homing_origin), 232},
        {"gcode_move.position", offset(s.gcode_move.position), 264},
        {"gcode_move.gcode_position", offset(s.gcode_move.gcode_position), 296},
        {"gcode_move.absolute_coordinates", offset(s.gcode_move.absolute_coordinates), 328},
        {"gcode_move.absolute_extrude", offset(s.gcode_move.absolute_extrude), 329},
        {"toolhead.print_time", offset(s.toolhead.print_time), 336},
        {"toolhead.estimated_print_time", offset(s.toolhead.estimated_print_time), 344},
        {"toolhead.position", offset(s.toolhead.position), 352},
        {"toolhead.max_velocity", offset(s.toolhead.max_velocity), 384},
        {"toolhead.max_accel", offset(s.toolhead.max_accel), 392},
        {"toolhead.max_accel_to_decel", offset(s.toolhead.max_accel_to_decel), 400},
        {"toolhead.square_corner_velocity", offset(s.toolhead.square_corner_velocity), 408},
        {"toolhead.axis_minimum", offset(s.toolhead.axis_minimum), 416},
        {"toolhead.axis_maximum", offset(s.toolhead.axis_maximum), 448},
        {"toolhead.stalls", offset(s.toolhead.stalls), 480},
        {"toolhead.homed_axes", offset(s.toolhead.homed_axes), 488},
        {"toolhead.extruder", offset(s.toolhead.extruder), 520},
        {"save_config_pending", offset(s.save_config_pending), 552},
        {"extruder.temperature", offset(s.extruder.temperature), 560},
        {"extruder.target", offset(s.extruder.target), 568},
        {"extruder.power", offset(s.extruder.power), 576},
        {"extruder.pressure_advance", offset(s.extruder.pressure_advance), 584},
        {"extruder.smooth_time", offset(s.extruder.smooth_time), 592},
        {"extruder.can_extrude", offset(s.extruder.can_extrude), 600},
        {"extruder.max_temp", offset(s.extruder.max_temp), 608},
        {"heater_bed.temperature", offset(s.heater_bed.temperature), 616},
        {"heater_bed.target", offset(s.heater_bed.target), 624},
        {"heater_bed.power", offset(s.heater_bed.power), 632},
        {"heater_bed.max_temp", offset(s.heater_bed.max_temp), 640},
        {"fan.speed", offset(s.fan.speed), 648},
        {"fan.rpm", offset(s.fan.rpm), 656},
        {"fan.max_power", offset(s.fan.max_power), 664},
        {"box_fan.speed", offset(s.box_fan.speed), 672},
        {"box_fan.rpm", offset(s.box_fan.rpm), 680},
        {"box_fan.max_power", offset(s.box_fan.max_power), 688},
        {"idle_timeout.printing_time", offset(s.idle_timeout.printing_time), 696},
        {"idle_timeout.state", offset(s.idle_timeout.state), 704},
        {"virtual_sdcard.is_active", offset(s.virtual_sdcard.is_active), 736},
        {"virtual_sdcard.progress", offset(s.virtual_sdcard.progress), 744},
        {"virtual_sdcard.file_position", offset(s.virtual_sdcard.file_position), 752},
        {"virtual_sdcard.file_size", offset(s.virtual_sdcard.file_size), 756},
        {"virtual_sdcard.file_path", offset(s.virtual_sdcard.file_path), 760},
        {"print_stats.total_duration", offset(s.print_stats.total_duration), 792},
        {"print_stats.print_duration", offset(s.print_stats.print_duration), 800},
        {"print_stats.filament_used", offset(s.print_stats.filament_used), 808},
        {"print_stats.total_layer", offset(s.print_stats.total_layer), 816},
        {"print_stats.current_layer", offset(s.print_stats.current_layer), 820},
        {"print_stats.filename", offset(s.print_stats.filename), 824},
        {"print_stats.state", offset(s.print_stats.state), 856},
        {"print_stats.message", offset(s.print_stats.message), 888},
        {"display_status.progress", offset(s.display_status.progress), 920},
        {"display_status.spare_text", offset(s.display_status.spare_text), 928},
        {"bed_mesh.mesh_min", offset(s.bed_mesh.mesh_min), 960},
        {"bed_mesh.mesh_max", offset(s.bed_mesh.mesh_max), 976},
        {"last_job.end_time", offset(s.last_job.end_time), 992},
        {"last_job.start_time", offset(s.last_job.start_time), 1000},
        {"last_job.filament_used", offset(s.last_job.filament_used), 1008},
        {"last_job.print_duration", offset(s.last_job.print_duration), 1016},
        {"last_job.total_duration", offset(s.last_job.total_duration), 1024},
        {"last_job.exists", offset(s.last_job.exists), 1032},
        {"last_job.status", offset(s.last_job.status), 1040},
        {"last_job.job_id", offset(s.last_job.job_id), 1072},
        {"last_job.filename", offset(s.last_job.filename), 1104},
        {"last_job.filament_name", offset(s.last_job.filament_name), 1136},
        {"last_job.filament_type", offset(s.last_job.filament_type), 1168},
        {"last_job.thumbnail_path", offset(s.last_job.thumbnail_path), 1200},
        {"last_job.uuid", offset(s.last_job.uuid), 1232},
        {"last_job.slicer", offset(s.last_job.slicer), 1264},
        {"last_job.slicer_version", offset(s.last_job.slicer_version), 1296},
        {"last_job.estimated_time", offset(s.last_job.estimated_time), 1328},
        {"last_job.filament_total", offset(s.last_job.filament_total), 1336},
        {"last_job.filament_weight_total", offset(s.last_job.filament_weight_total), 1344},
        {"last_job.modified", offset(s.last_job.modified), 1352},
        {"last_job.size", offset(s.last_job.size), 1360},
        {"last_job.first_layer_bed_temp", offset(s.last_job.first_layer_bed_temp), 1368},
        {"last_job.first_layer_extr_temp", offset(s.last_job.first_layer_extr_temp), 1376},
        {"last_job.first_layer_height", offset(s.last_job.first_layer_height), 1384},
        {"last_job.layer_height", offset(s.last_job.layer_height), 1392},
        {"last_job.metadata_height", offset(s.last_job.metadata_height), 1400},
        {"last_job.gcode_start_byte", offset(s.last_job.gcode_start_byte), 1408},
        {"last_job.gcode_end_byte", offset(s.last_job.gcode_end_byte), 1416},
        {"last_job.nozzle_diameter", offset(s.last_job.nozzle_diameter), 1424},
    };
    for (const auto& row : table) EXPECT_EQ(row.actual, row.expected) << row.member;
    EXPECT_EQ(sizeof(MachineStatus), 1432u);
}

}  // namespace
