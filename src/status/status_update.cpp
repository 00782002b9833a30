// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <string_view>

#include "status/status_readers.h"

namespace pemra::status {

void apply_readers(MachineStatus& s, Element element) {
    // Only objects carry entries; a time stamp or any other value still makes
    // a pass (the caller counts and reports it).
    if (!element.is_object()) return;
    const Entries status(element);
    apply_box_led(s, status);
    apply_box_fan_switch(s, status);
    apply_drying_box_heater(s, status);
    apply_leds(s, status);
    apply_webhooks(s, status);
    apply_gcode_move(s, status);
    apply_toolhead(s, status);
    apply_configfile(s, status);
    apply_extruder(s, status);
    apply_heater_bed(s, status);
    apply_fan(s, status);
    apply_box_fan(s, status);
    apply_idle_timeout(s, status);
    apply_virtual_sdcard(s, status);
    apply_print_stats(s, status);
    apply_display_status(s, status);
    apply_bed_mesh(s, status);
}

void derive_states(MachineStatus& s) {
    if (s.connect_state == connect_state::closed) {
        s.machine_state = machine_state::offline;
        return;
    }
    if (s.klippy_state == klippy_state::disconnected || s.klippy_state == klippy_state::shutdown) {
        s.machine_state = machine_state::firmware_down;
        return;
    }
    struct Mapping {
        std::string_view state;
        std::int32_t print_state;
        std::int32_t machine_state;
    };
    static constexpr Mapping kMappings[] = {
        {"printing", print_state::printing, machine_state::busy},
        {"paused", print_state::paused, machine_state::busy},
        {"standby", print_state::standby, machine_state::idle},
        {"complete", print_state::complete, machine_state::idle},
        {"cancelled", print_state::cancelled, machine_state::idle},
        {"error", print_state::error, machine_state::idle},
    };
    s.machine_state = machine_state::idle;
    for (const auto& m : kMappings) {
        if (s.print_stats.state == m.state) {
            s.print_state = m.print_state;
            s.machine_state = m.machine_state;
            return;
        }
    }
}

}  // namespace pemra::status
