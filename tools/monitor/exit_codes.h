// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Distinct codes, so that a script can tell a typo from a printer that is
// down from one that answered too late.

namespace monitor::exit_code {

inline constexpr int ok = 0;
inline constexpr int usage = 1;
inline constexpr int unreachable = 2;
inline constexpr int timeout = 3;
inline constexpr int refused = 4;  // the printer answered the G-code with an error notice
inline constexpr int plugin = 5;
// This program could not do its own work (no file descriptor left, the demo
// printers cannot listen...): neither the user's fault nor the printer's.
inline constexpr int failed = 6;
inline constexpr int interrupted = 130;

}  // namespace monitor::exit_code
