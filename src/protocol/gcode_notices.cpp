// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/gcode_notices.h"

namespace pemra::protocol {
namespace {

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

void apply_gcode_response(MachineStatus& s, std::string_view text) {
    // Each loading text is part of the matching unloading text, so the
    // unloading texts are tested first.
    if (contains(text, "unload_filament heating completed")) {
        s.unload_filament_state = filament_state::heating_completed;
    } else if (contains(text, "unload_filament done")) {
        s.unload_filament_state = filament_state::done;
    } else if (contains(text, "load_filament heating completed")) {
        s.load_filament_state = filament_state::heating_completed;
    } else if (contains(text, "load_filament done")) {
        s.load_filament_state = filament_state::done;
    }
}

ErrorNotices error_notices(std::string_view message) {
    ErrorNotices notices;
    notices.move_out_of_range = contains(message, kMoveOutOfRange);
    // Delta printers say "Must home first"; cartesian, corexy and corexz
    // printers say "Must home axis first". The host hears one text for both.
    notices.must_home_first = contains(message, kMustHomeFirst) || contains(message, "Must home axis first");
    return notices;
}

}  // namespace pemra::protocol
