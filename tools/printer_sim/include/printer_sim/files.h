// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The G-code files and print history a simulated printer starts with.
//
// Plain data: copied into each printer at start (and again at restart), never
// shared between printers, so any thread may build and change these freely.

#include <cstdint>
#include <string>
#include <vector>

namespace printer_sim {

struct Thumbnail {
    int width = 0;
    int height = 0;
    std::uint64_t size = 0;
    std::string relative_path;  // relative to the G-code file's folder
};

// What the slicer wrote into the file's header, as the API server's metadata
// scanner reports it.
struct FileMetadata {
    std::string uuid;
    std::string slicer;
    std::string slicer_version;
    double layer_height = 0.2;
    double first_layer_height = 0.2;
    double object_height = 20.0;
    double filament_total = 1000.0;        // mm
    double filament_weight_total = 3.0;    // g
    double estimated_time = 600.0;         // s
    double first_layer_bed_temp = 60.0;
    double first_layer_extr_temp = 210.0;
    std::uint64_t gcode_start_byte = 0;
    std::uint64_t gcode_end_byte = 0;
    double nozzle_diameter = 0.4;
    std::string filament_name;
    std::string filament_type;
    std::vector<Thumbnail> thumbnails;
};

struct GcodeFile {
    std::string filename;       // path below the "gcodes" root, e.g. "cube.gcode"
    double modified = 0;        // seconds since the epoch
    std::uint64_t size = 0;     // bytes
    FileMetadata metadata;
};

// One finished (or interrupted) job of the history database.
struct HistoryJob {
    std::string job_id;         // six upper-case hex digits, e.g. "00000A"
    std::string filename;
    std::string status;         // "completed", "cancelled", "error", "klippy_shutdown", ...
    double start_time = 0;      // seconds since the epoch
    double end_time = 0;
    double print_duration = 0;
    double total_duration = 0;
    double filament_used = 0;   // mm
    double file_modified = 0;   // of the file as it was printed
    std::uint64_t file_size = 0;
    FileMetadata metadata;
};

// Four sliced files with complete metadata and thumbnails.
std::vector<GcodeFile> default_files();
// Three past jobs (two completed, one cancelled) of files in default_files().
std::vector<HistoryJob> default_history();

}  // namespace printer_sim
