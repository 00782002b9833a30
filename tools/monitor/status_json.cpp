// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <string>
#include <string_view>

#include "json_text.h"

namespace monitor {
namespace {

// Stores value at a dotted path, making the groups on the way.
template <typename T>
void put(Json& root, std::string_view path, const T& value) {
    Json* node = &root;
    std::size_t start = 0;
    for (auto dot = path.find('.'); dot != std::string_view::npos; dot = path.find('.', start)) {
        node = &(*node)[std::string(path.substr(start, dot - start))];
        start = dot + 1;
    }
    (*node)[std::string(path.substr(start))] = value;
}

}  // namespace

Json status_to_json(const MachineStatus& s) {
    Json j = Json::object();
    // The key is the member's own spelling, so a name cannot drift from the
    // record; the monitor's tests compare the keys with the header.
#define MEMBER(path) put(j, #path, s.path)
    MEMBER(load_filament_state);
    MEMBER(unload_filament_state);
    MEMBER(heartbeat);
    MEMBER(machine_state);
    MEMBER(print_state);
    MEMBER(connect_state);
    MEMBER(klippy_state);
    MEMBER(drying_box.spare_text);
    MEMBER(drying_box.spare_flag);
    MEMBER(drying_box.heater_on);
    MEMBER(led_color);
    MEMBER(box_led_on);
    MEMBER(box_fan_on);
    MEMBER(hostname);
    MEMBER(software_version);
    MEMBER(webhooks.state);
    MEMBER(webhooks.state_message);
    MEMBER(gcode_move.speed_factor);
    MEMBER(gcode_move.speed);
    MEMBER(gcode_move.extrude_factor);
    MEMBER(gcode_move.homing_origin);
    MEMBER(gcode_move.position);
    MEMBER(gcode_move.gcode_position);
    MEMBER(gcode_move.absolute_coordinates);
    MEMBER(gcode_move.absolute_extrude);
    MEMBER(toolhead.print_time);
    MEMBER(toolhead.estimated_print_time);
    MEMBER(toolhead.position);
    MEMBER(toolhead.max_velocity);
    MEMBER(toolhead.max_accel);
    MEMBER(toolhead.max_accel_to_decel);
    MEMBER(toolhead.square_corner_velocity);
    MEMBER(toolhead.axis_minimum);
    MEMBER(toolhead.axis_maximum);
    MEMBER(toolhead.stalls);
    MEMBER(toolhead.homed_axes);
    MEMBER(toolhead.extruder);
    MEMBER(save_config_pending);
    MEMBER(extruder.temperature);
    MEMBER(extruder.target);
    MEMBER(extruder.power);
    MEMBER(extruder.pressure_advance);
    MEMBER(extruder.smooth_time);
    MEMBER(extruder.can_extrude);
    MEMBER(extruder.max_temp);
    MEMBER(heater_bed.temperature);
    MEMBER(heater_bed.target);
    MEMBER(heater_bed.power);
    MEMBER(heater_bed.max_temp);
    MEMBER(fan.speed);
    MEMBER(fan.rpm);
    MEMBER(fan.max_power);
    MEMBER(box_fan.speed);
    MEMBER(box_fan.rpm);
    MEMBER(box_fan.max_power);
    MEMBER(idle_timeout.printing_time);
    MEMBER(idle_timeout.state);
    MEMBER(virtual_sdcard.is_active);
    MEMBER(virtual_sdcard.progress);
    MEMBER(virtual_sdcard.file_position);
    MEMBER(virtual_sdcard.file_size);
    MEMBER(virtual_sdcard.file_path);
    MEMBER(print_stats.total_duration);
    MEMBER(print_stats.print_duration);
    MEMBER(print_stats.filament_used);
    MEMBER(print_stats.total_layer);
    MEMBER(print_stats.current_layer);
    MEMBER(print_stats.filename);
    MEMBER(print_stats.state);
    MEMBER(print_stats.message);
    MEMBER(display_status.progress);
    MEMBER(display_status.spare_text);
    MEMBER(bed_mesh.mesh_min);
    MEMBER(bed_mesh.mesh_max);
    MEMBER(last_job.end_time);
    MEMBER(last_job.start_time);
    MEMBER(last_job.filament_used);
    MEMBER(last_job.print_duration);
    MEMBER(last_job.total_duration);
    MEMBER(last_job.exists);
    MEMBER(last_job.status);
    MEMBER(last_job.job_id);
    MEMBER(last_job.filename);
    MEMBER(last_job.filament_name);
    MEMBER(last_job.filament_type);
    MEMBER(last_job.thumbnail_path);
    MEMBER(last_job.uuid);
    MEMBER(last_job.slicer);
    MEMBER(last_job.slicer_version);
    MEMBER(last_job.estimated_time);
    MEMBER(last_job.filament_total);
    MEMBER(last_job.filament_weight_total);
    MEMBER(last_job.modified);
    MEMBER(last_job.size);
    MEMBER(last_job.first_layer_bed_temp);
    MEMBER(last_job.first_layer_extr_temp);
    MEMBER(last_job.first_layer_height);
    MEMBER(last_job.layer_height);
    MEMBER(last_job.metadata_height);
    MEMBER(last_job.gcode_start_byte);
    MEMBER(last_job.gcode_end_byte);
    MEMBER(last_job.nozzle_diameter);
#undef MEMBER
    return j;
}

}  // namespace monitor
