// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "catalog.h"

#include <algorithm>
#include <cstdio>

namespace printer_sim::detail {
namespace {

constexpr std::uint64_t kDiskTotal = 29'827'358'720;  // a 32 GB card
constexpr std::uint64_t kDiskUsedBySystem = 5'402'992'640;

nlohmann::json file_item(const GcodeFile& file) {
    return {{"path", file.filename},
            {"root", "gcodes"},
            {"modified", file.modified},
            {"size", file.size},
            {"permissions", "rw"}};
}

}  // namespace

Catalog::Catalog(std::vector<GcodeFile> files, std::vector<HistoryJob> history)
    : files_(std::move(files)), history_(std::move(history)) {
    for (const auto& job : history_) {
        const auto id = std::strtoull(job.job_id.c_str(), nullptr, 16);
        next_job_ = std::max<std::uint64_t>(next_job_, id + 1);
    }
}

const GcodeFile* Catalog::find_file(std::string_view filename) const {
    // The API server accepts the name with or without its root.
    if (filename.rfind("gcodes/", 0) == 0) filename.remove_prefix(7);
    for (const auto& file : files_) {
        if (file.filename == filename) return &file;
    }
    return nullptr;
}

nlohmann::json Catalog::directory() const {
    nlohmann::json files = nlohmann::json::array();
    std::uint64_t used = kDiskUsedBySystem;
    for (const auto& file : files_) {
        files.push_back({{"modified", file.modified},
                         {"size", file.size},
                         {"permissions", "rw"},
                         {"filename", file.filename}});
        used += file.size;
    }
    return {{"dirs", nlohmann::json::array()},
            {"files", std::move(files)},
            {"disk_usage", {{"total", kDiskTotal}, {"used", used}, {"free", kDiskTotal - used}}},
            {"root_info", {{"name", "gcodes"}, {"permissions", "rw"}}}};
}

nlohmann::json Catalog::metadata_fields(const FileMetadata& m, double modified, std::uint64_t size,
                                        std::string_view filename) const {
    nlohmann::json thumbnails = nlohmann::json::array();
    for (const auto& t : m.thumbnails) {
        thumbnails.push_back(
            {{"width", t.width}, {"height", t.height}, {"size", t.size}, {"relative_path", t.relative_path}});
    }
    return {{"size", size},
            {"modified", modified},
            {"uuid", m.uuid},
            {"slicer", m.slicer},
            {"slicer_version", m.slicer_version},
            {"gcode_start_byte", m.gcode_start_byte},
            {"gcode_end_byte", m.gcode_end_byte},
            {"layer_count", static_cast<int>((m.object_height - m.first_layer_height) / m.layer_height + 1.5)},
            {"object_height", m.object_height},
            {"estimated_time", m.estimated_time},
            {"nozzle_diameter", m.nozzle_diameter},
            {"layer_height", m.layer_height},
            {"first_layer_height", m.first_layer_height},
            {"first_layer_extr_temp", m.first_layer_extr_temp},
            {"first_layer_bed_temp", m.first_layer_bed_temp},
            {"filament_name", m.filament_name},
            {"filament_type", m.filament_type},
            {"filament_total", m.filament_total},
            {"filament_weight_total", m.filament_weight_total},
            {"thumbnails", std::move(thumbnails)},
            {"filename", filename}};
}

nlohmann::json Catalog::metadata(const GcodeFile& file) const {
    nlohmann::json meta = metadata_fields(file.metadata, file.modified, file.size, file.filename);
    meta["print_start_time"] = nullptr;
    meta["job_id"] = nullptr;
    for (auto it = history_.rbegin(); it != history_.rend(); ++it) {
        if (it->filename == file.filename) {
            meta["print_start_time"] = it->start_time;
            meta["job_id"] = it->job_id;
            break;
        }
    }
    return meta;
}

std::optional<nlohmann::json> Catalog::delete_file(std::string_view filename) {
    const GcodeFile* file = find_file(filename);
    if (!file) return std::nullopt;
    nlohmann::json item = file_item(*file);
    files_.erase(files_.begin() + (file - files_.data()));
    return item;
}

nlohmann::json Catalog::job(const HistoryJob& job) const {
    const bool running = job.status == "in_progress";
    return {{"job_id", job.job_id},
            {"user", "_TRUSTED_USER_"},
            {"filename", job.filename},
            {"exists", find_file(job.filename) != nullptr},
            {"status", job.status},
            {"start_time", job.start_time},
            {"end_time", running ? nlohmann::json(nullptr) : nlohmann::json(job.end_time)},
            {"print_duration", job.print_duration},
            {"total_duration", job.total_duration},
            {"filament_used", job.filament_used},
            {"metadata", metadata_fields(job.metadata, job.file_modified, job.file_size, job.filename)},
            {"auxiliary_data", nlohmann::json::array()}};
}

nlohmann::json Catalog::history_page(std::int64_t start, std::int64_t limit, bool newest_first) const {
    nlohmann::json jobs = nlohmann::json::array();
    const auto count = static_cast<std::int64_t>(history_.size());
    start = std::max<std::int64_t>(start, 0);
    // A limit below one means no limit, as the history database reads it.
    const std::int64_t end = limit < 1 ? count : std::min(count, start + limit);
    for (std::int64_t i = start; i < end; ++i) {
        const auto index = static_cast<std::size_t>(newest_first ? count - 1 - i : i);
        jobs.push_back(job(history_[index]));
    }
    return {{"count", count}, {"jobs", std::move(jobs)}};
}

const HistoryJob* Catalog::find_job(std::string_view job_id) const {
    for (const auto& job : history_) {
        if (job.job_id == job_id) return &job;
    }
    return nullptr;
}

std::string Catalog::add_job(const GcodeFile& file, double start_time) {
    char id[16];
    std::snprintf(id, sizeof id, "%06llX", static_cast<unsigned long long>(next_job_++));
    HistoryJob job;
    job.job_id = id;
    job.filename = file.filename;
    job.status = "in_progress";
    job.start_time = start_time;
    job.file_modified = file.modified;
    job.file_size = file.size;
    job.metadata = file.metadata;
    history_.push_back(std::move(job));
    return history_.back().job_id;
}

const HistoryJob* Catalog::finish_job(std::string_view job_id, std::string status, double end_time,
                                      double print_duration, double total_duration, double filament_used) {
    for (auto& job : history_) {
        if (job.job_id != job_id) continue;
        job.status = std::move(status);
        job.end_time = end_time;
        job.print_duration = print_duration;
        job.total_duration = total_duration;
        job.filament_used = filament_used;
        return &job;
    }
    return nullptr;
}

}  // namespace printer_sim::detail
