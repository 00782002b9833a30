// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/job_record.h"

#include <string_view>

#include "status/json_read.h"

namespace pemra::protocol {

void apply_job_record(MachineStatus::LastJob& job, json_read::Element record) {
    if (!record.is_object()) return;
    json_read::Fields f(record, "job");
    f.read("end_time", job.end_time);
    f.read("start_time", job.start_time);
    f.read("filament_used", job.filament_used);
    f.read("print_duration", job.print_duration);
    f.read("total_duration", job.total_duration);
    f.read("status", job.status);
    f.read("exists", job.exists);
    f.read("job_id", job.job_id);
    f.read("filename", job.filename);

    const auto metadata = f.present("metadata");
    if (!metadata || !metadata->is_object()) return;
    json_read::Fields m(*metadata, "job.metadata");
    m.read("filament_name", job.filament_name);
    m.read("filament_type", job.filament_type);
    m.read("uuid", job.uuid);
    m.read("slicer", job.slicer);
    m.read("slicer_version", job.slicer_version);
    m.read("estimated_time", job.estimated_time);
    m.read("filament_total", job.filament_total);
    m.read("filament_weight_total", job.filament_weight_total);
    m.read("modified", job.modified);
    m.read("size", job.size);
    m.read("first_layer_bed_temp", job.first_layer_bed_temp);
    m.read("first_layer_extr_temp", job.first_layer_extr_temp);
    m.read("first_layer_height", job.first_layer_height);
    m.read("layer_height", job.layer_height);
    m.read("metadata_height", job.metadata_height);
    m.read("gcode_start_byte", job.gcode_start_byte);
    m.read("gcode_end_byte", job.gcode_end_byte);
    m.read("nozzle_diameter", job.nozzle_diameter);

    // Only the last thumbnail is kept; an empty list keeps the previous path.
    const auto thumbnails = json_read::find(*metadata, "thumbnails");
    const auto last = thumbnails ? json_read::last_element(*thumbnails) : std::nullopt;
    if (last && last->is_object()) {
        json_read::Fields(*last, "job.metadata.thumbnails").read("relative_path", job.thumbnail_path);
    }
}

bool is_same_job(const MachineStatus::LastJob& job, json_read::Element record) {
    if (!record.is_object() || job.job_id.empty()) return false;
    // An id of another type is not this job's: it changes nothing, and the
    // notification that carries it is still reported.
    const auto job_id = json_read::present(record, "job_id");
    return job_id && job_id->is_string() && std::string_view(job_id->get_string().value_unsafe()) == job.job_id;
}

}  // namespace pemra::protocol
