// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Where a printer stands, from the worst trouble to none: what the live view
// of a farm orders its rows by and counts in its summary.

#include <cstddef>
#include <string>
#include <vector>

#include "fleet.h"

namespace monitor {

// In the order the rows are shown.
enum class Standing { offline, firmware_down, print_error, paused, printing, idle, connecting };
inline constexpr std::size_t kStandings = 7;

Standing standing_of(const PrinterRow& row);
// "offline", "firmware down", ... as the overflow line says it.
const char* standing_words(Standing standing);

// The rows trouble first, then by id: the order only changes when a
// printer's standing does, so rows do not jump between frames.
std::vector<const PrinterRow*> trouble_first(const std::vector<PrinterRow>& rows);

// How many printers stand where, and the summary line that says it:
// "100 printers: 93 online, 25 printing, 1 paused, 2 in trouble, 5 offline".
struct FarmCounts {
    std::size_t printers = 0;
    std::size_t by_standing[kStandings] = {};
    std::size_t online = 0;
};
FarmCounts count_farm(const std::vector<PrinterRow>& rows);
std::string summary_text(const FarmCounts& counts);
// What rows left out of the view are: "12 more idle", or
// "14 more: 2 printing, 12 idle".
std::string overflow_text(const std::vector<const PrinterRow*>& hidden);

}  // namespace monitor
