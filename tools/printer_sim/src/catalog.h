// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The API server's side of a printer's storage: the G-code files with their
// metadata and the job history, and the JSON the file and history methods
// answer with.
//
// Not thread-safe: owned and used by one printer on its io thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "printer_sim/files.h"

namespace printer_sim::detail {

class Catalog {
public:
    Catalog(std::vector<GcodeFile> files, std::vector<HistoryJob> history);

    const GcodeFile* find_file(std::string_view filename) const;
    // server.files.get_directory of the "gcodes" root.
    nlohmann::json directory() const;
    // server.files.metadata.
    nlohmann::json metadata(const GcodeFile& file) const;
    // Removes the file; the "item" of the reply and notification, or nothing
    // when there is no such file.
    std::optional<nlohmann::json> delete_file(std::string_view filename);

    // server.history.list: `count` is every job, `jobs` the page asked for.
    nlohmann::json history_page(std::int64_t start, std::int64_t limit, bool newest_first) const;
    const HistoryJob* find_job(std::string_view job_id) const;
    nlohmann::json job(const HistoryJob& job) const;

    // A new job, status "in_progress", started now; returns its id.
    std::string add_job(const GcodeFile& file, double start_time);
    // Closes the job; returns it as it is now.
    const HistoryJob* finish_job(std::string_view job_id, std::string status, double end_time,
                                 double print_duration, double total_duration, double filament_used);

private:
    nlohmann::json metadata_fields(const FileMetadata& m, double modified, std::uint64_t size,
                                   std::string_view filename) const;

    std::vector<GcodeFile> files_;
    std::vector<HistoryJob> history_;  // oldest first
    std::uint64_t next_job_ = 1;
};

}  // namespace printer_sim::detail
