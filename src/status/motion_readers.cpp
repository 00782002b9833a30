// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "status/json_read.h"
#include "status/status_readers.h"

namespace pemra::status {

using json_read::Fields;

void apply_gcode_move(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("gcode_move");
    if (!entry) return;
    Fields f(*entry, "gcode_move");
    auto& m = s.gcode_move;
    f.read("speed_factor", m.speed_factor);
    f.read("speed", m.speed);
    f.read("extrude_factor", m.extrude_factor);
    f.read("absolute_coordinates", m.absolute_coordinates);
    f.read("absolute_extrude", m.absolute_extrude);
    f.read("homing_origin", m.homing_origin);
    f.read("position", m.position);
    f.read("gcode_position", m.gcode_position);
}

void apply_toolhead(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("toolhead");
    if (!entry) return;
    Fields f(*entry, "toolhead");
    auto& t = s.toolhead;
    f.read("homed_axes", t.homed_axes);
    f.read("extruder", t.extruder);
    f.read("print_time", t.print_time);
    f.read("estimated_print_time", t.estimated_print_time);
    f.read("max_velocity", t.max_velocity);
    f.read("max_accel", t.max_accel);
    f.read("max_accel_to_decel", t.max_accel_to_decel);
    f.read("square_corner_velocity", t.square_corner_velocity);
    f.read("stalls", t.stalls);
    f.read("homing_origin", s.gcode_move.homing_origin);
    f.read("position", t.position);
    f.read("axis_minimum", t.axis_minimum);
    f.read("axis_maximum", t.axis_maximum);
}

}  // namespace pemra::status
