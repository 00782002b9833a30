// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Appending JSON values to a text buffer without temporary strings, so the
// frames sent several times a second reuse their buffers' memory.
//
// Numbers are written the way the printer's Python side writes them: the
// shortest text that reads back to the same double, with ".0" on whole
// numbers (25.0, 0.0). Stateless functions; any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace printer_sim::detail::json_out {

void number(std::string& out, double value);
// `value` rounded to `decimals` places first (as Klipper rounds temperatures).
void rounded(std::string& out, double value, int decimals);
void integer(std::string& out, std::int64_t value);
void boolean(std::string& out, bool value);
// A quoted string, with quote, backslash and control characters escaped.
void string(std::string& out, std::string_view text);
// Writes `"key":` .
void key(std::string& out, std::string_view name);

double round_to(double value, int decimals);

}  // namespace printer_sim::detail::json_out
