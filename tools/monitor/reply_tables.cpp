// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "reply_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "labels.h"
#include "table.h"

namespace monitor {
namespace {

using Row = std::vector<std::string>;

std::string local_time(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) return "-";
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
    return text;
}

std::string size_text(double bytes) {
    char text[32];
    if (bytes < 1000) {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    } else if (bytes < 1000.0 * 1000) {
        std::snprintf(text, sizeof text, "%.1f kB", bytes / 1000);
    } else if (bytes < 1000.0 * 1000 * 1000) {
        std::snprintf(text, sizeof text, "%.1f MB", bytes / 1000 / 1000);
    } else {
        std::snprintf(text, sizeof text, "%.1f GB", bytes / 1000 / 1000 / 1000);
    }
    return text;
}

double number(const Json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_number() ? it->get<double>() : 0.0;
}

std::string text_of(const Json& object, const char* name) {
    const auto it = object.find(name);
    if (it == object.end()) return "";
    return it->is_string() ? it->get<std::string>() : dump(*it);
}

// Columns padded to their widest cell; `right` marks the numbers.
std::string lay_out(const std::vector<Row>& rows, const std::vector<bool>& right) {
    std::vector<int> width(right.size(), 0);
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], display_width(row[i]));
    }
    std::string out;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::string pad(static_cast<std::size_t>(width[i] - display_width(row[i])), ' ');
            if (i > 0) line += "  ";
            line += right[i] ? pad + row[i] : (i + 1 == row.size() ? row[i] : row[i] + pad);
        }
        out += line + "\n";
    }
    return out;
}

const Json* result_array(const Json& reply, const char* name) {
    if (!reply.is_object()) return nullptr;
    const auto result = reply.find("result");
    if (result == reply.end() || !result->is_object()) return nullptr;
    const auto array = result->find(name);
    if (array == result->end() || !array->is_array()) return nullptr;
    return &*array;
}

}  // namespace

std::optional<std::string> files_table(const Json& reply) {
    const Json* files = result_array(reply, "files");
    if (!files) return std::nullopt;
    std::vector<Row> rows;
    for (const Json& file : *files) {
        if (!file.is_object()) continue;
        std::string name = text_of(file, "filename");
        if (name.empty()) name = text_of(file, "path");
        rows.push_back({name, size_text(number(file, "size")), local_time(number(file, "modified"))});
    }
    std::sort(rows.begin(), rows.end());
    const std::size_t count = rows.size();
    rows.insert(rows.begin(), Row{"NAME", "SIZE", "MODIFIED"});
    return lay_out(rows, {false, true, false}) + std::to_string(count) + (count == 1 ? " file\n" : " files\n");
}

std::optional<std::string> history_table(const Json& reply) {
    const Json* jobs = result_array(reply, "jobs");
    if (!jobs) return std::nullopt;
    std::vector<Row> rows{{"JOB", "FILE", "STATUS", "DURATION", "STARTED"}};
    for (const Json& job : *jobs) {
        if (!job.is_object()) continue;
        rows.push_back({text_of(job, "job_id"), text_of(job, "filename"), text_of(job, "status"),
                        duration_text(number(job, "print_duration")), local_time(number(job, "start_time"))});
    }
    const std::size_t shown = rows.size() - 1;
    std::string footer = std::to_string(shown) + (shown == 1 ? " job" : " jobs");
    const double count = number(reply["result"], "count");
    if (count > static_cast<double>(shown)) footer += " of " + std::to_string(static_cast<long long>(count));
    return lay_out(rows, {false, false, false, true, false}) + footer + "\n";
}

}  // namespace monitor
