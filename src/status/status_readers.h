// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The seventeen object readers that turn one status element from a printer
// (an object mapping Klipper object names to their fields) into members of
// MachineStatus, and the derivation of the machine and print states.
// Each reader reads only its own entries; an entry that is missing or not an
// object changes nothing. A field of the wrong type throws
// json_read::ReadError after the members read before it were written.

#include "pemra_network/machine_status.h"
#include "status/json_read.h"

namespace pemra::status {

using json_read::Element;
using json_read::Entries;

// Heaters, fans and lights.
void apply_box_led(MachineStatus& s, const Entries& status);
void apply_box_fan_switch(MachineStatus& s, const Entries& status);
void apply_drying_box_heater(MachineStatus& s, const Entries& status);
void apply_leds(MachineStatus& s, const Entries& status);
void apply_extruder(MachineStatus& s, const Entries& status);
void apply_heater_bed(MachineStatus& s, const Entries& status);
void apply_fan(MachineStatus& s, const Entries& status);
void apply_box_fan(MachineStatus& s, const Entries& status);

// Motion.
void apply_gcode_move(MachineStatus& s, const Entries& status);
void apply_toolhead(MachineStatus& s, const Entries& status);

// Job progress.
void apply_webhooks(MachineStatus& s, const Entries& status);
void apply_idle_timeout(MachineStatus& s, const Entries& status);
void apply_virtual_sdcard(MachineStatus& s, const Entries& status);
void apply_print_stats(MachineStatus& s, const Entries& status);
void apply_display_status(MachineStatus& s, const Entries& status);

// Configuration and bed mesh.
void apply_configfile(MachineStatus& s, const Entries& status);
void apply_bed_mesh(MachineStatus& s, const Entries& status);

// All seventeen in their fixed order; where two write one member, the later
// wins (toolhead's homing_origin over gcode_move's, the BOXFAN pin over the
// box fan's speed).
void apply_readers(MachineStatus& s, Element status);

// machine_state and print_state from the connection and firmware states and
// print_stats.state, in that order of precedence.
void derive_states(MachineStatus& s);

}  // namespace pemra::status
