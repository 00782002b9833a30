// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "option_values.h"

#include <cstdlib>
#include <stdexcept>

namespace farm {

double to_number(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') throw std::invalid_argument(option + ": not a number: " + text);
    return value;
}

double to_number_from(const std::string& option, const std::string& text, double least) {
    const double value = to_number(option, text);
    if (!(value >= least)) {
        throw std::invalid_argument(option + ": expected a number not below " + std::to_string(least) + ", got " +
                                    text);
    }
    return value;
}

int to_int(const std::string& option, const std::string& text, int low, int high) {
    const double value = to_number(option, text);
    if (value != static_cast<int>(value) || value < low || value > high) {
        throw std::invalid_argument(option + ": expected a whole number from " + std::to_string(low) + " to " +
                                    std::to_string(high) + ", got " + text);
    }
    return static_cast<int>(value);
}

}  // namespace farm
