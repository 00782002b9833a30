// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One G-code line split the way Klipper splits it: the command word upper-
// cased, then either letter parameters (G1 X10 E-2) or NAME=VALUE parameters
// (SET_PIN PIN=box_led VALUE=1). Pure functions; any thread.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace printer_sim::detail {

struct GcodeLine {
    std::string text;     // the line without its comment, trimmed
    std::string command;  // upper case; empty for a blank line
    std::map<std::string, std::string> params;  // upper-case names
    std::string rest;     // everything after the command word (M117, RESPOND)

    bool has(const std::string& name) const { return params.count(name) != 0; }
    // The parameter as a number; nothing when absent. Throws GcodeError when
    // it does not parse.
    std::optional<double> number(const std::string& name) const;
    std::string text_param(const std::string& name, std::string fallback = {}) const;
};

struct GcodeError {
    std::string message;
};

GcodeLine parse_gcode_line(std::string_view line);

}  // namespace printer_sim::detail
