// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The print job: a file "printed" over a wall-clock span, with its progress,
// layers, durations and toolhead path derived from the time printed so far.
#include <algorithm>
#include <cmath>

#include "json_out.h"
#include "klippy.h"
#include "klippy_fields.h"

namespace printer_sim::detail {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLoopsPerLayer = 6.0;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

std::optional<std::string> Klippy::start_print(std::string_view filename) {
    if (!ready()) return state_message_;
    if (print_state_ == "printing" || print_state_ == "paused") return std::string("SD busy");
    const GcodeFile* file = find_file_(filename);
    if (!file) return std::string("Unable to open file");

    const Clock::time_point now = last_advance_;
    job_file_ = *file;
    job_path_json_.clear();
    json_out::string(job_path_json_, "/home/pi/printer_data/gcodes/" + file->filename);
    const FileMetadata& m = file->metadata;
    job_wall_seconds_ = options_.print_duration.count() > 0
                            ? std::chrono::duration<double>(options_.print_duration).count()
                            : m.estimated_time / std::max(options_.speed, 1e-6);
    job_wall_seconds_ = std::max(job_wall_seconds_, 0.05);
    job_start_ = job_resumed_ = now;
    job_printing_ = Clock::duration::zero();
    job_progress_ = 0.0;
    total_layers_ = std::max(1, static_cast<int>(std::lround((m.object_height - m.first_layer_height) /
                                                             std::max(m.layer_height, 0.01))) + 1);
    print_state_ = "printing";
    print_message_.clear();
    idle_state_ = "Printing";
    homed_axes_ = "xyz";
    motors_enabled_ = true;
    extruder_.target = m.first_layer_extr_temp;
    bed_.target = m.first_layer_bed_temp;
    fan_speed_ = 1.0;
    base_position_[3] = position_[3];
    events_.print_started(*file);
    return std::nullopt;
}

double Klippy::print_progress(Clock::time_point now) const {
    if (print_state_ != "printing") return job_progress_;
    const double printed = seconds(job_printing_ + (now - job_resumed_));
    return std::clamp(printed / job_wall_seconds_, 0.0, 1.0);
}

double Klippy::printing_seconds(Clock::time_point now) const {
    if (!job_file_) return 0.0;
    return print_progress(now) * job_file_->metadata.estimated_time;
}

void Klippy::pause_print() {
    if (print_state_ != "printing") return;
    job_progress_ = print_progress(last_advance_);
    job_printing_ += last_advance_ - job_resumed_;
    print_state_ = "paused";
    idle_state_ = "Ready";
}

void Klippy::resume_print() {
    if (print_state_ != "paused") return;
    job_resumed_ = last_advance_;
    print_state_ = "printing";
    idle_state_ = "Printing";
}

void Klippy::cancel_print() {
    if (print_state_ != "printing" && print_state_ != "paused") return;
    end_print("cancelled", "cancelled", "");
}

void Klippy::end_print(std::string_view print_state, std::string_view history_status, const std::string& message) {
    job_progress_ = print_progress(last_advance_);
    if (print_state_ == "printing") job_printing_ += last_advance_ - job_resumed_;
    job_end_ = last_advance_;
    print_state_ = std::string(print_state);
    print_message_ = message;
    idle_state_ = "Ready";
    extruder_.target = bed_.target = 0.0;
    fan_speed_ = 0.0;
    const FileMetadata& m = job_file_->metadata;
    const double factor = m.estimated_time / job_wall_seconds_;
    events_.print_ended(history_status, job_progress_ * m.estimated_time, seconds(job_end_ - job_start_) * factor,
                        job_progress_ * m.filament_total);
}

void Klippy::follow_print_path(Clock::time_point now) {
    // The nozzle circles the part, one layer after the other.
    const FileMetadata& m = job_file_->metadata;
    const double progress = print_progress(now);
    const int layer = std::min(total_layers_, static_cast<int>(progress * total_layers_) + 1);
    const double angle = progress * total_layers_ * kLoopsPerLayer * 2.0 * kPi;
    const double centre = options_.kinematics == Kinematics::delta ? 0.0 : 117.5;
    position_[0] = centre + 30.0 * std::cos(angle);
    position_[1] = centre + 30.0 * std::sin(angle);
    position_[2] = m.first_layer_height + (layer - 1) * m.layer_height;
    position_[3] = base_position_[3] + progress * m.filament_total;
    print_time_ = eventtime(now) + 1.763;
}

void Klippy::publish_print(Clock::time_point now) {
    StatusBoard& b = board_;
    const bool active = print_state_ == "printing" || print_state_ == "paused";
    const double progress = job_file_ ? print_progress(now) : 0.0;

    const FieldIds& f = *ids_;
    b.set_string(f.ps_state, print_state_);
    b.set_string(f.ps_message, print_message_);
    b.set_bool(f.pause_is_paused, print_state_ == "paused");
    b.set_string(f.idle_state, idle_state_);
    if (display_message_.empty()) {
        b.set_null(f.ds_message);
    } else {
        b.set_string(f.ds_message, display_message_);
    }
    if (!job_file_) {
        b.set_string(f.ps_filename, "");
        b.set_number(f.ps_total_duration, 0.0);
        b.set_number(f.ps_print_duration, 0.0);
        b.set_number(f.ps_filament_used, 0.0);
        b.set_raw(f.ps_info, R"({"total_layer":null,"current_layer":null})");
        b.set_null(f.sd_file_path);
        b.set_number(f.sd_progress, 0.0);
        b.set_bool(f.sd_is_active, false);
        b.set_int(f.sd_file_position, 0);
        b.set_int(f.sd_file_size, 0);
        b.set_number(f.ds_progress, 0.0);
        return;
    }

    const GcodeFile& file = *job_file_;
    const FileMetadata& m = file.metadata;
    const double factor = m.estimated_time / job_wall_seconds_;
    const Clock::time_point until = active ? now : job_end_;
    const int layer = std::min(total_layers_, static_cast<int>(progress * total_layers_) + 1);
    const auto span = static_cast<double>(m.gcode_end_byte - m.gcode_start_byte);
    const auto file_position =
        static_cast<std::int64_t>(static_cast<double>(m.gcode_start_byte) + progress * span);

    b.set_string(f.ps_filename, file.filename);
    b.set_rounded(f.ps_total_duration, seconds(until - job_start_) * factor, 6);
    b.set_rounded(f.ps_print_duration, progress * m.estimated_time, 6);
    b.set_rounded(f.ps_filament_used, progress * m.filament_total, 5);
    std::string& info = b.scratch();
    info += "{\"total_layer\":";
    json_out::integer(info, total_layers_);
    info += ",\"current_layer\":";
    json_out::integer(info, active || progress > 0 ? layer : 0);
    info += "}";
    b.commit(f.ps_info);
    b.set_raw(f.sd_file_path, job_path_json_);
    b.set_rounded(f.sd_progress, static_cast<double>(file_position) / static_cast<double>(file.size), 6);
    b.set_bool(f.sd_is_active, print_state_ == "printing");
    b.set_int(f.sd_file_position, file_position);
    b.set_int(f.sd_file_size, static_cast<std::int64_t>(file.size));
    b.set_rounded(f.ds_progress, progress, 2);

}

}  // namespace printer_sim::detail
