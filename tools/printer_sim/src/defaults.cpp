// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The files, history and object list a simulated printer starts with. The
// numbers are those of ordinary prints on a small bed-slinger, so the replies
// built from them have realistic sizes and values.
#include "printer_sim/files.h"
#include "printer_sim/options.h"

namespace printer_sim {
namespace {

constexpr double kFirstModified = 1767225600.0;  // 2026-01-01 00:00:00 UTC

GcodeFile make_file(std::string name, double modified_offset, std::uint64_t size, double estimated_time,
                    double object_height, double layer_height, double filament_mm, double filament_g,
                    double bed_temp, double extruder_temp, std::string filament_type, std::string uuid) {
    GcodeFile file;
    file.filename = std::move(name);
    file.modified = kFirstModified + modified_offset;
    file.size = size;
    FileMetadata& m = file.metadata;
    m.uuid = std::move(uuid);
    m.slicer = "SimSlicer";
    m.slicer_version = "2.3.1";
    m.layer_height = layer_height;
    m.first_layer_height = 0.2;
    m.object_height = object_height;
    m.filament_total = filament_mm;
    m.filament_weight_total = filament_g;
    m.estimated_time = estimated_time;
    m.first_layer_bed_temp = bed_temp;
    m.first_layer_extr_temp = extruder_temp;
    m.gcode_start_byte = 23871;
    m.gcode_end_byte = size - 17952;
    m.nozzle_diameter = 0.4;
    m.filament_name = "Generic " + filament_type;
    m.filament_type = std::move(filament_type);
    const std::string stem = file.filename.substr(0, file.filename.rfind('.'));
    m.thumbnails = {
        Thumbnail{32, 32, 1824, ".thumbs/" + stem + "-32x32.png"},
        Thumbnail{300, 300, 25316, ".thumbs/" + stem + "-300x300.png"},
    };
    return file;
}

HistoryJob make_job(const GcodeFile& file, std::string id, std::string status, double start, double print_duration,
                    double total_duration, double filament_used) {
    HistoryJob job;
    job.job_id = std::move(id);
    job.filename = file.filename;
    job.status = std::move(status);
    job.start_time = start;
    job.end_time = start + total_duration;
    job.print_duration = print_duration;
    job.total_duration = total_duration;
    job.filament_used = filament_used;
    job.file_modified = file.modified;
    job.file_size = file.size;
    job.metadata = file.metadata;
    return job;
}

}  // namespace

std::vector<GcodeFile> default_files() {
    return {
        make_file("calibration_cube_0.2mm_PLA.gcode", 3600, 482311, 1189, 20.0, 0.2, 1620.33, 4.83, 60, 215, "PLA",
                  "3f1c2a5e-8d41-4b2e-9a77-1c0de4f5a201"),
        make_file("boat_test_0.15mm_PETG.gcode", 90000, 3412908, 5730, 48.0, 0.15, 5220.71, 15.62, 80, 240, "PETG",
                  "a6b0e9d2-17c3-4f08-b5e1-72d94c3e8b12"),
        make_file("phone_stand_0.2mm_PLA.gcode", 180000, 1873320, 3120, 65.0, 0.2, 3804.12, 11.35, 60, 215, "PLA",
                  "5d2e7f10-4a9b-4c63-8e25-0b71f6a3d9c4"),
        make_file("vase_spiral_0.24mm_PLA.gcode", 270000, 1210544, 2460, 150.0, 0.24, 4410.58, 13.16, 60, 210, "PLA",
                  "c81f3b47-6e02-4d9a-a3f8-94e5b0c7d236"),
    };
}

std::vector<HistoryJob> default_history() {
    const auto files = default_files();
    return {
        make_job(files[0], "000001", "completed", kFirstModified + 86400, 1192.41, 1240.73, 1618.92),
        make_job(files[2], "000002", "cancelled", kFirstModified + 2 * 86400, 812.35, 840.12, 1310.24),
        make_job(files[1], "000003", "completed", kFirstModified + 3 * 86400, 5741.02, 5802.64, 5219.88),
    };
}

std::vector<std::string> default_objects() {
    return {
        "webhooks",
        "configfile",
        "mcu",
        "gcode_move",
        "print_stats",
        "virtual_sdcard",
        "pause_resume",
        "display_status",
        "gcode_macro PAUSE",
        "gcode_macro RESUME",
        "gcode_macro CANCEL_PRINT",
        "gcode_macro LOAD_FILAMENT",
        "gcode_macro UNLOAD_FILAMENT",
        "output_pin box_led",
        "output_pin drying_box_heater",
        "output_pin LED_WHITE",
        "output_pin LED_ORANGE",
        "output_pin LED_RED",
        "output_pin BOXFAN_pin",
        "fan_generic box_fan",
        "heaters",
        "heater_bed",
        "fan",
        "idle_timeout",
        "bed_mesh",
        "exclude_object",
        "query_endstops",
        "stepper_enable",
        "system_stats",
        "toolhead",
        "extruder",
    };
}

}  // namespace printer_sim
