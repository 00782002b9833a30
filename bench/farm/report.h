// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The figures as one table with the goals beside them, and as CSV.

#include <cstdio>
#include <string>
#include <vector>

#include "farm_result.h"

namespace farm {

// The farm size the goals were set for.
constexpr int kGoalPrinters = 1000;

struct Goal {
    const char* name;
    const char* target;          // as shown
    double limit;
    bool inclusive;              // figure may equal the limit
    double FarmResult::*figure;
    const char* unit;
};
const std::vector<Goal>& goals();
// "pass" or "miss"; a figure that could not be measured misses.
bool meets(const Goal& goal, const FarmResult& result);

void print_table(std::FILE* out, const std::vector<FarmResult>& results, double window_s, bool pinned);
// False when the file cannot be written.
bool write_csv(const std::string& path, const std::vector<FarmResult>& results);

}  // namespace farm
