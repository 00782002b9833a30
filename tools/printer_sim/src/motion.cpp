// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "motion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace printer_sim::detail {

MachineLimits machine_limits(Kinematics kinematics) {
    MachineLimits limits;
    if (kinematics == Kinematics::delta) {
        limits.axis_minimum = {-100.0, -100.0, -2.5, 0.0};
        limits.axis_maximum = {100.0, 100.0, 300.0, 0.0};
        limits.print_radius = 100.0;
    } else {
        limits.axis_minimum = {0.0, 0.0, -2.0, 0.0};
        limits.axis_maximum = {235.0, 235.0, 250.0, 0.0};
    }
    return limits;
}

Coord home_position(Kinematics kinematics, double e) {
    if (kinematics == Kinematics::delta) return {0.0, 0.0, 300.0, e};
    return {0.0, 0.0, 0.0, e};
}

std::string move_error(std::string_view message, const Coord& end) {
    char text[160];
    std::snprintf(text, sizeof text, "%.*s: %.3f %.3f %.3f [%.3f]", static_cast<int>(message.size()),
                  message.data(), end[0], end[1], end[2], end[3]);
    return text;
}

namespace {

bool homed(std::string_view homed_axes, char axis) { return homed_axes.find(axis) != std::string_view::npos; }

// Cartesian and corexy: every moving axis must be homed and stay in its range.
std::optional<std::string> check_rectangular(const MachineLimits& limits, std::string_view homed_axes,
                                             const Coord& from, const Coord& to) {
    static constexpr char kAxes[3] = {'x', 'y', 'z'};
    for (int i = 0; i < 3; ++i) {
        if (to[i] == from[i]) continue;
        if (!homed(homed_axes, kAxes[i])) return move_error("Must home axis first", to);
        if (to[i] < limits.axis_minimum[i] || to[i] > limits.axis_maximum[i]) {
            return move_error("Move out of range", to);
        }
    }
    return std::nullopt;
}

// Delta: nothing moves before all towers are homed; the reachable space is a
// cylinder narrowing near the top.
std::optional<std::string> check_delta(const MachineLimits& limits, std::string_view homed_axes, const Coord& to) {
    if (homed_axes != "xyz") return move_error("Must home first", to);
    const double xy2 = to[0] * to[0] + to[1] * to[1];
    double limit_xy2 = limits.print_radius * limits.print_radius;
    const double top = limits.axis_maximum[2];
    if (to[2] > top - limits.print_radius) limit_xy2 = std::min(limit_xy2, (top - to[2]) * (top - to[2]));
    if (xy2 > limit_xy2 || to[2] > top || to[2] < limits.axis_minimum[2]) return move_error("Move out of range", to);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> check_move(Kinematics kinematics, const MachineLimits& limits,
                                      std::string_view homed_axes, const Coord& from, const Coord& to,
                                      const ExtruderCheck& extruder) {
    const bool kinematic = to[0] != from[0] || to[1] != from[1] || to[2] != from[2];
    if (kinematic) {
        auto error = kinematics == Kinematics::delta ? check_delta(limits, homed_axes, to)
                                                     : check_rectangular(limits, homed_axes, from, to);
        if (error) return error;
    }
    const double de = to[3] - from[3];
    if (de != 0.0) {
        if (!extruder.can_extrude) {
            return std::string(
                "Extrude below minimum temp\nSee the 'min_extrude_temp' config option for details");
        }
        const bool extrude_only = to[0] == from[0] && to[1] == from[1];
        if ((extrude_only || de < 0) && std::fabs(de) > extruder.max_extrude_only_distance) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "Extrude only move too long (%.3fmm vs %.3fmm)\nSee the 'max_extrude_only_distance' "
                          "config option for details",
                          de, extruder.max_extrude_only_distance);
            return std::string(text);
        }
    }
    return std::nullopt;
}

}  // namespace printer_sim::detail
