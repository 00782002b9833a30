// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The move checks Klipper's kinematics and extruder make before a move is
// queued, with the error texts they raise. Pure functions; any thread.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "printer_sim/options.h"

namespace printer_sim::detail {

using Coord = std::array<double, 4>;  // x, y, z, e

struct MachineLimits {
    Coord axis_minimum{};
    Coord axis_maximum{};
    double print_radius = 0;  // delta only
};

MachineLimits machine_limits(Kinematics kinematics);
// Where G28 leaves the toolhead (e keeps its value).
Coord home_position(Kinematics kinematics, double e);

struct ExtruderCheck {
    bool can_extrude = true;
    double max_extrude_only_distance = 150.0;
};

// Nothing when the move from `from` to `to` may run; otherwise the error text.
std::optional<std::string> check_move(Kinematics kinematics, const MachineLimits& limits,
                                      std::string_view homed_axes, const Coord& from, const Coord& to,
                                      const ExtruderCheck& extruder);

// "Move out of range: 500.000 0.000 0.000 [13.320]" style text.
std::string move_error(std::string_view message, const Coord& end);

}  // namespace printer_sim::detail
