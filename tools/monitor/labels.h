// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Words for the state codes of MachineStatus, and the tone to show them in.

#include <chrono>
#include <string>

#include "pemra_network/machine_status.h"

namespace monitor {

enum class Tone { plain, dim, good, busy, warn, bad };

struct Label {
    std::string text;
    Tone tone = Tone::plain;
};

Label link_label(const MachineStatus& status);
Label firmware_label(const MachineStatus& status);
Label print_label(const MachineStatus& status);
// Up for requests: connected and the printer's state known.
bool is_up(const MachineStatus& status);
// An error notice by which the printer's API server refuses this host.
bool is_refusal(const std::string& notice);
// Connected, but the firmware is not running or halted: why the printer is
// not up, or empty.
std::string firmware_trouble(const MachineStatus& status);
// "0:20", "1:02:03"
std::string duration_text(double seconds);
// Local wall-clock time, "12:03:04".
std::string clock_text(std::chrono::system_clock::time_point time);

}  // namespace monitor
