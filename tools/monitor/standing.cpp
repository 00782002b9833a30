// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "standing.h"

#include <algorithm>

#include "labels.h"

namespace monitor {

Standing standing_of(const PrinterRow& row) {
    if (!row.have_status) return Standing::connecting;
    const MachineStatus& s = row.status;
    if (s.connect_state == pemra::connect_state::closed || s.machine_state == pemra::machine_state::reconnecting) {
        return Standing::offline;
    }
    if (s.connect_state != pemra::connect_state::open) return Standing::connecting;
    if (s.klippy_state == pemra::klippy_state::disconnected || s.klippy_state == pemra::klippy_state::shutdown) {
        return Standing::firmware_down;
    }
    switch (s.print_state) {
        case pemra::print_state::error: return Standing::print_error;
        case pemra::print_state::paused: return Standing::paused;
        case pemra::print_state::printing: return Standing::printing;
        default: return Standing::idle;
    }
}

const char* standing_words(Standing standing) {
    switch (standing) {
        case Standing::offline: return "offline";
        case Standing::firmware_down: return "firmware down";
        case Standing::print_error: return "print error";
        case Standing::paused: return "paused";
        case Standing::printing: return "printing";
        case Standing::idle: return "idle";
        case Standing::connecting: return "connecting";
    }
    return "?";
}

std::vector<const PrinterRow*> trouble_first(const std::vector<PrinterRow>& rows) {
    std::vector<std::pair<Standing, const PrinterRow*>> keyed;
    keyed.reserve(rows.size());
    for (const auto& row : rows) keyed.emplace_back(standing_of(row), &row);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        return a.second->target.id < b.second->target.id;
    });
    std::vector<const PrinterRow*> out;
    out.reserve(keyed.size());
    for (const auto& [standing, row] : keyed) out.push_back(row);
    return out;
}

FarmCounts count_farm(const std::vector<PrinterRow>& rows) {
    FarmCounts counts;
    counts.printers = rows.size();
    for (const auto& row : rows) {
        ++counts.by_standing[static_cast<std::size_t>(standing_of(row))];
        if (row.have_status && row.status.connect_state == pemra::connect_state::open) ++counts.online;
    }
    return counts;
}

std::string summary_text(const FarmCounts& c) {
    auto n = [&](Standing s) { return c.by_standing[static_cast<std::size_t>(s)]; };
    const std::size_t trouble = n(Standing::firmware_down) + n(Standing::print_error);
    std::string text = std::to_string(c.printers) + (c.printers == 1 ? " printer: " : " printers: ") +
                       std::to_string(c.online) + " online, " + std::to_string(n(Standing::printing)) +
                       " printing, " + std::to_string(n(Standing::paused)) + " paused, " + std::to_string(trouble) +
                       " in trouble, " + std::to_string(n(Standing::offline)) + " offline";
    if (n(Standing::connecting) > 0) text += ", " + std::to_string(n(Standing::connecting)) + " connecting";
    return text;
}

std::string overflow_text(const std::vector<const PrinterRow*>& hidden) {
    std::size_t by_standing[kStandings] = {};
    for (const PrinterRow* row : hidden) ++by_standing[static_cast<std::size_t>(standing_of(*row))];
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < kStandings; ++i) {
        if (by_standing[i] > 0) {
            parts.push_back(std::to_string(by_standing[i]) + " " + standing_words(static_cast<Standing>(i)));
        }
    }
    const std::string more = std::to_string(hidden.size()) + " more";
    if (parts.size() == 1) return more + " " + parts.front().substr(parts.front().find(' ') + 1);
    std::string text = more + ":";
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? " " : ", ") + parts[i];
    return text;
}

}  // namespace monitor
