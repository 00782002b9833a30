// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Values of command-line options, shared by the farm benchmark and the soak.
// Each throws std::invalid_argument naming the option and the bad text.

#include <string>

namespace farm {

double to_number(const std::string& option, const std::string& text);
// A number not below `least`.
double to_number_from(const std::string& option, const std::string& text, double least);
int to_int(const std::string& option, const std::string& text, int low, int high);

}  // namespace farm
