// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "labels.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace monitor {

Label link_label(const MachineStatus& s) {
    if (s.machine_state == pemra::machine_state::reconnecting) return {"reconnect", Tone::warn};
    if (s.connect_state == pemra::connect_state::closed) return {"offline", Tone::bad};
    if (s.connect_state == pemra::connect_state::open) {
        return s.heartbeat == pemra::heartbeat::pong_timed_out ? Label{"no pong", Tone::warn} : Label{"online", Tone::good};
    }
    return {"connecting", Tone::dim};
}

Label firmware_label(const MachineStatus& s) {
    if (s.connect_state != pemra::connect_state::open) return {"-", Tone::dim};
    switch (s.klippy_state) {
        case pemra::klippy_state::ready: return {"ready", Tone::good};
        case pemra::klippy_state::disconnected: return {"disconnected", Tone::warn};
        // Halted by an error reads "error" in the firmware's own status.
        case pemra::klippy_state::shutdown: return {s.webhooks.state == "error" ? "error" : "shutdown", Tone::bad};
        default: break;
    }
    if (!s.webhooks.state.empty()) return {s.webhooks.state, s.webhooks.state == "error" ? Tone::bad : Tone::warn};
    return {"-", Tone::dim};
}

Label print_label(const MachineStatus& s) {
    if (s.connect_state != pemra::connect_state::open) return {"-", Tone::dim};
    switch (s.print_state) {
        case pemra::print_state::standby: return {"standby", Tone::plain};
        case pemra::print_state::printing: return {"printing", Tone::busy};
        case pemra::print_state::paused: return {"paused", Tone::warn};
        case pemra::print_state::complete: return {"complete", Tone::good};
        case pemra::print_state::cancelled: return {"cancelled", Tone::warn};
        case pemra::print_state::error: return {"error", Tone::bad};
        default: return {"-", Tone::dim};
    }
}

bool is_up(const MachineStatus& s) {
    return s.connect_state == pemra::connect_state::open && s.machine_state >= pemra::machine_state::idle;
}

bool is_refusal(const std::string& notice) { return notice == "Unauthorized"; }

std::string firmware_trouble(const MachineStatus& s) {
    if (s.connect_state != pemra::connect_state::open) return {};
    if (s.klippy_state == pemra::klippy_state::disconnected) return "its firmware is not running";
    if (s.klippy_state == pemra::klippy_state::shutdown) {
        const std::string why = s.webhooks.state_message.substr(0, s.webhooks.state_message.find('\n'));
        return std::string(s.webhooks.state == "error" ? "its firmware is halted" : "its firmware is shut down") +
               (why.empty() ? "" : " (" + why + ")");
    }
    return {};
}

std::string duration_text(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    const long total = std::lround(seconds);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

std::string clock_text(std::chrono::system_clock::time_point time) {
    const std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &tm);
    return text;
}

}  // namespace monitor
