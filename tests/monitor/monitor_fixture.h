// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// What the monitor's tests share: a quick simulated printer and readers of
// the monitor's output.

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "monitor_run.h"
#include "printer_sim/printer.h"

namespace monitor_test {

using namespace std::chrono_literals;
using nlohmann::json;

// Fast status updates and restarts, so the tests spend little time waiting.
inline printer_sim::PrinterOptions quick_printer() {
    printer_sim::PrinterOptions options;
    options.hostname = "test-printer";
    options.update_interval = 50ms;
    options.speed = 20;
    return options;
}

// Every complete line of a --json stream, each of which must be a JSON
// object; a line that is not (a trace of the plug-in leaking into standard
// output, say) fails the test. A last line still being written is left out.
inline std::vector<json> json_lines(const std::string& text) {
    std::vector<json> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) break;
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const json parsed = json::parse(line, nullptr, false);
        EXPECT_FALSE(parsed.is_discarded()) << "not JSON: " << line;
        EXPECT_TRUE(parsed.is_object()) << line;
        if (parsed.is_object()) out.push_back(parsed);
    }
    return out;
}

// The events of one kind (and printer) in a --json stream.
inline std::vector<json> events_of(const std::vector<json>& lines, const std::string& kind,
                                   const std::string& device = {}) {
    std::vector<json> out;
    for (const auto& line : lines) {
        if (line.value("event", "") == kind && (device.empty() || line.value("device_id", "") == device)) {
            out.push_back(line);
        }
    }
    return out;
}

inline std::size_t line_count(const std::string& text) {
    std::size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

// An error the monitor reports is one line on standard error.
#define EXPECT_ONE_LINE_ERROR(result, words)                                                  \
    do {                                                                                      \
        EXPECT_EQ(monitor_test::line_count((result).err), 1u) << (result).err;                 \
        EXPECT_EQ((result).err.rfind("pemra-monitor: ", 0), 0u) << (result).err;               \
        EXPECT_NE((result).err.find(words), std::string::npos) << (result).err;               \
    } while (0)

}  // namespace monitor_test
