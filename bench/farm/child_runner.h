// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Each farm size is measured in a fresh process running this same program:
// the memory baseline then holds no heap left over from a larger farm, and
// getrusage counts only that farm's agent.

#include <optional>

#include "farm_result.h"
#include "options.h"

namespace farm {

// Runs one farm size in a child process and returns its figures, or nothing
// when the child failed (its reason is on stderr).
std::optional<FarmResult> run_in_child(const Options& options, int printers);

}  // namespace farm
