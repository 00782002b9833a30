// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// What the plug-in reads from the firmware's own words: filament load and
// unload progress in console lines, and the two refusals the host is told
// about when a request is answered with an error.

#include <string_view>

#include "pemra_network/machine_status.h"

namespace pemra::protocol {

inline constexpr std::string_view kMoveOutOfRange = "Move out of range";
inline constexpr std::string_view kMustHomeFirst = "Must home first";

// Sets at most one of the filament progress codes from a
// notify_gcode_response text (the whole message is searched).
void apply_gcode_response(MachineStatus& s, std::string_view text);

// The notices an error message raises, in the order they are reported.
struct ErrorNotices {
    bool move_out_of_range = false;
    bool must_home_first = false;
};
ErrorNotices error_notices(std::string_view message);

}  // namespace pemra::protocol
