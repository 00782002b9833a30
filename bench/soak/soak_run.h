// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One soak from start to end: the faulty farm up, the agent connected, the
// host storm for the whole duration with a progress line every interval,
// then calm, the final checks and the summary.

#include <cstdio>

#include "soak_options.h"

namespace soak {

// Exit statuses of the program.
constexpr int kAllChecksHold = 0;
constexpr int kCheckFailed = 1;
constexpr int kUsage = 2;
constexpr int kHung = 3;  // an export call never returned; the run was cut short

// Writes progress and the summary to `out`; returns one of the statuses
// above. Throws std::runtime_error when the farm cannot be set up at all.
int run_soak(const Options& options, std::FILE* out);

}  // namespace soak
