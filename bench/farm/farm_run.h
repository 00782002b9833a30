// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One farm size measured from start to end: simulator up, agent created,
// printers connected, a steady window, a reconnection storm, destroy.

#include "farm_result.h"
#include "options.h"

namespace farm {

// Throws std::runtime_error when the farm cannot be set up at all; figures
// that could not be taken (a timeout) come back as NaN.
FarmResult run_farm(const Options& options, int printers);

}  // namespace farm
