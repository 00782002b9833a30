// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Klippy's state, its clock and the status of its printer objects.
#include "klippy.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "config_file.h"
#include "json_out.h"
#include "klippy_fields.h"

namespace printer_sim::detail {

namespace jo = json_out;

namespace {

constexpr double kBootEventtime = 1502.0;  // Klippy's clock when the simulator starts
constexpr double kAmbient = 25.0;
constexpr const char* kPinNames[6] = {"box_led", "drying_box_heater", "LED_WHITE",
                                      "LED_ORANGE", "LED_RED", "BOXFAN_pin"};
constexpr const char* kMcuConstants =
    R"({"ADC_MAX":4095,"BUS_PINS_i2c1":"PB6,PB7","BUS_PINS_i2c2":"PB10,PB11","BUS_PINS_spi1":"PA6,PA7,PA5",)"
    R"("BUS_PINS_spi2":"PB14,PB15,PB13","BUS_PINS_spi3":"PB4,PB5,PB3","CLOCK_FREQ":72000000,)"
    R"("MCU":"stm32f103xe","PWM_MAX":255,"RECEIVE_WINDOW":192,"RESERVE_PINS_USB":"PA11,PA12",)"
    R"("SERIAL_BAUD":250000,"STATS_SUMARY_BITS":2,"STATS_SUMSQ_BASE":256,"STEPPER_BOTH_EDGE":1})";
constexpr const char* kBedMeshMatrix =
    "[[-0.0425,-0.02,0.0075,0.0325,0.065],[-0.035,-0.0125,0.015,0.04,0.0725],"
    "[-0.03,-0.005,0.02,0.0475,0.0775],[-0.0225,0.0025,0.0275,0.0525,0.085],"
    "[-0.0175,0.01,0.035,0.06,0.0925]]";

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace


void Klippy::Heater::advance(double s, double jitter) {
    const double goal = target > 0 ? target : kAmbient;
    temperature += (goal - temperature) * (1.0 - std::exp(-s / time_constant));
    if (std::fabs(goal - temperature) < 0.3) {
        // A regulated heater wobbles around its target; an idle one rests at room temperature.
        temperature = target > 0 ? goal + jitter : goal;
    }
    power = target > 0 ? std::clamp(0.32 + (target - temperature) * 0.04, 0.0, 1.0) : 0.0;
}

Klippy::Klippy(const PrinterOptions& options, KlippyEvents& events, FileLookup find_file, Clock::time_point now)
    : options_(options),
      events_(events),
      find_file_(std::move(find_file)),
      boot_(now),
      last_advance_(now),
      last_stats_(now),
      ids_(std::make_unique<FieldIds>()),
      stats_(static_cast<std::uint32_t>(options.port) + 7u),
      rng_(static_cast<std::uint32_t>(options.port) * 747796405u + 1u),
      limits_(machine_limits(options.kinematics)) {
    extruder_.time_constant = 20.0;
    bed_.time_constant = 45.0;
    if (options.klippy_state == "shutdown") {
        state_ = "shutdown";
        state_message_ = "Shutdown due to webhooks request\nOnce the underlying issue is corrected, use the\n"
                         "\"FIRMWARE_RESTART\" command to reset the firmware, reload the\n"
                         "config, and restart the host software.\nPrinter is shutdown";
    } else if (options.klippy_state == "startup") {
        start_up();
    } else if (options.klippy_state == "disconnected") {
        // The API server came up without its firmware.
        state_ = "disconnected";
        state_message_ = "Klippy Host not connected";
    } else if (options.klippy_state == "error") {
        state_ = "error";
        state_message_ = "mcu 'mcu': Unable to connect\nOnce the underlying issue is corrected, use the\n"
                         "\"FIRMWARE_RESTART\" command to reset the firmware, reload the\n"
                         "config, and restart the host software.\nPrinter is halted";
    }
    register_fields();
    publish(now, false);
    publish_stats(now);
}

Klippy::~Klippy() = default;

double Klippy::noise() {
    rng_ = rng_ * 1664525u + 1013904223u;
    return static_cast<double>(rng_ >> 8) / static_cast<double>(1u << 23) - 1.0;
}

double Klippy::eventtime(Clock::time_point now) const {
    return jo::round_to(kBootEventtime + seconds(now - boot_), 6);
}

void Klippy::register_fields() {
    FieldIds& f = *ids_;
    StatusBoard& b = board_;
    f.webhooks_state = b.add("webhooks", "state");
    f.webhooks_message = b.add("webhooks", "state_message");

    const ConfigTexts config = config_texts(options_.kinematics);
    b.add("configfile", "config", config.config);
    b.add("configfile", "settings", config.settings);
    b.add("configfile", "save_config_pending", "false");
    b.add("configfile", "save_config_pending_items", "{}");
    b.add("configfile", "warnings", "[]");

    b.add("mcu", "mcu_version", "\"v0.12.0-302-g87ac6936\"");
    b.add("mcu", "mcu_build_versions",
          "\"gcc: (15:8-2019-q3-1+b1) 8.3.1 20190703 (release) [gcc-8-branch revision 273027] "
          "binutils: (2.35.2-2+14+b2) 2.35.2\"");
    b.add("mcu", "mcu_constants", kMcuConstants);
    f.mcu_last_stats = b.add("mcu", "last_stats", "{}");

    f.gm_speed_factor = b.add("gcode_move", "speed_factor");
    f.gm_speed = b.add("gcode_move", "speed");
    f.gm_extrude_factor = b.add("gcode_move", "extrude_factor");
    f.gm_absolute_coordinates = b.add("gcode_move", "absolute_coordinates");
    f.gm_absolute_extrude = b.add("gcode_move", "absolute_extrude");
    f.gm_homing_origin = b.add("gcode_move", "homing_origin");
    f.gm_position = b.add("gcode_move", "position");
    f.gm_gcode_position = b.add("gcode_move", "gcode_position");

    f.ps_filename = b.add("print_stats", "filename");
    f.ps_total_duration = b.add("print_stats", "total_duration");
    f.ps_print_duration = b.add("print_stats", "print_duration");
    f.ps_filament_used = b.add("print_stats", "filament_used");
    f.ps_state = b.add("print_stats", "state");
    f.ps_message = b.add("print_stats", "message");
    f.ps_info = b.add("print_stats", "info");

    f.sd_file_path = b.add("virtual_sdcard", "file_path");
    f.sd_progress = b.add("virtual_sdcard", "progress");
    f.sd_is_active = b.add("virtual_sdcard", "is_active");
    f.sd_file_position = b.add("virtual_sdcard", "file_position");
    f.sd_file_size = b.add("virtual_sdcard", "file_size");

    f.pause_is_paused = b.add("pause_resume", "is_paused");
    f.ds_progress = b.add("display_status", "progress");
    f.ds_message = b.add("display_status", "message");

    for (const char* macro : {"PAUSE", "RESUME", "CANCEL_PRINT", "LOAD_FILAMENT", "UNLOAD_FILAMENT"}) {
        b.add_object(std::string("gcode_macro ") + macro);
    }
    b.add("gcode_macro PAUSE", "extrude", "1.0");
    b.add("gcode_macro LOAD_FILAMENT", "load_temp", "220");
    b.add("gcode_macro LOAD_FILAMENT", "load_length", "90");
    b.add("gcode_macro LOAD_FILAMENT", "purge_length", "40");
    b.add("gcode_macro UNLOAD_FILAMENT", "unload_temp", "220");
    b.add("gcode_macro UNLOAD_FILAMENT", "unload_length", "100");

    for (int i = 0; i < 6; ++i) f.pins[i] = b.add(std::string("output_pin ") + kPinNames[i], "value");
    f.box_fan_speed = b.add("fan_generic box_fan", "speed");
    f.box_fan_rpm = b.add("fan_generic box_fan", "rpm");
    f.box_fan_value = b.add("fan_generic box_fan", "value");

    b.add("heaters", "available_heaters", R"(["heater_bed","extruder"])");
    b.add("heaters", "available_sensors",
          R"(["temperature_sensor raspberry_pi","temperature_sensor mcu_temp","heater_bed","extruder"])");
    b.add("heaters", "available_monitors", "[]");

    f.bed_temperature = b.add("heater_bed", "temperature");
    f.bed_target = b.add("heater_bed", "target");
    f.bed_power = b.add("heater_bed", "power");
    f.fan_speed = b.add("fan", "speed");
    f.fan_rpm = b.add("fan", "rpm");
    f.idle_state = b.add("idle_timeout", "state");
    f.idle_printing_time = b.add("idle_timeout", "printing_time");

    f.mesh_profile_name = b.add("bed_mesh", "profile_name");
    f.mesh_min = b.add("bed_mesh", "mesh_min");
    f.mesh_max = b.add("bed_mesh", "mesh_max");
    f.mesh_probed = b.add("bed_mesh", "probed_matrix");
    f.mesh_matrix = b.add("bed_mesh", "mesh_matrix");
    b.add("bed_mesh", "profiles",
          std::string(R"({"default":{"points":)") + kBedMeshMatrix +
              R"(,"mesh_params":{"min_x":15.0,"max_x":220.0,"min_y":15.0,"max_y":220.0,"x_count":5,)"
              R"("y_count":5,"mesh_x_pps":2,"mesh_y_pps":2,"algo":"bicubic","tension":0.2}}})");

    b.add("exclude_object", "objects", "[]");
    b.add("exclude_object", "excluded_objects", "[]");
    b.add("exclude_object", "current_object");
    b.add("query_endstops", "last_query", "{}");
    f.steppers = b.add("stepper_enable", "steppers");

    f.sys_sysload = b.add("system_stats", "sysload");
    f.sys_cputime = b.add("system_stats", "cputime");
    f.sys_memavail = b.add("system_stats", "memavail");

    f.th_homed_axes = b.add("toolhead", "homed_axes");
    b.add("toolhead", "axis_minimum");
    b.add("toolhead", "axis_maximum");
    f.th_print_time = b.add("toolhead", "print_time");
    b.add("toolhead", "stalls", "0");
    f.th_estimated_print_time = b.add("toolhead", "estimated_print_time");
    b.add("toolhead", "extruder", "\"extruder\"");
    f.th_position = b.add("toolhead", "position");
    b.add("toolhead", "max_velocity", "300.0");
    b.add("toolhead", "max_accel", "3000.0");
    b.add("toolhead", "max_accel_to_decel", "1500.0");
    b.add("toolhead", "square_corner_velocity", "5.0");

    f.ex_temperature = b.add("extruder", "temperature");
    f.ex_target = b.add("extruder", "target");
    f.ex_power = b.add("extruder", "power");
    f.ex_can_extrude = b.add("extruder", "can_extrude");
    b.add("extruder", "pressure_advance", "0.04");
    b.add("extruder", "smooth_time", "0.04");
    b.add("extruder", "motion_queue");

    publish_static();
}

// Values that only depend on the configuration.
void Klippy::publish_static() {
    StatusBoard& b = board_;
    const int min_id = b.find_field(b.find_object("toolhead"), "axis_minimum");
    const int max_id = b.find_field(b.find_object("toolhead"), "axis_maximum");
    b.set_numbers(min_id, limits_.axis_minimum.data(), 4);
    b.set_numbers(max_id, limits_.axis_maximum.data(), 4);
}

void Klippy::shutdown(const std::string& reason) {
    if (state_ == "shutdown") return;
    state_ = "shutdown";
    state_message_ = reason +
                     "\nOnce the underlying issue is corrected, use the\n"
                     "\"FIRMWARE_RESTART\" command to reset the firmware, reload the\n"
                     "config, and restart the host software.\nPrinter is shutdown";
    extruder_.target = bed_.target = 0.0;
    fan_speed_ = box_fan_speed_ = 0.0;
    if (print_state_ == "printing" || print_state_ == "paused") end_print("error", "klippy_shutdown", reason);
}

void Klippy::disconnect() {
    state_ = "disconnected";
    state_message_ = "Klippy Disconnected";
    if (print_state_ == "printing" || print_state_ == "paused") {
        end_print("error", "klippy_disconnect", "Klippy Disconnected");
    }
}

void Klippy::start_up() {
    state_ = "startup";
    state_message_ = "Printer is not ready\nThe klippy host software is attempting to connect.  Please\n"
                     "retry in a few moments.";
    homed_axes_.clear();
    motors_enabled_ = false;
    position_ = base_position_ = homing_origin_ = Coord{};
    absolute_coordinates_ = absolute_extrude_ = true;
    speed_factor_ = extrude_factor_ = 1.0;
    extruder_.target = bed_.target = 0.0;
    fan_speed_ = box_fan_speed_ = 0.0;
    std::fill(std::begin(pins_), std::end(pins_), 0.0);
    display_message_.clear();
    print_state_ = "standby";
    print_message_.clear();
    job_file_.reset();
    job_progress_ = 0.0;
    idle_state_ = "Idle";
}

void Klippy::become_ready() {
    state_ = "ready";
    state_message_ = "Printer is ready";
}

void Klippy::advance(Clock::time_point now) {
    const double dt = seconds(now - last_advance_) * options_.speed;
    last_advance_ = now;
    if (dt <= 0) return;
    // Regulated heaters wobble by a few hundredths, and not at every reading.
    extruder_.advance(dt, noise() > 0.2 ? 0.0 : 0.05 * noise());
    bed_.advance(dt, noise() > -0.4 ? 0.0 : 0.03 * noise());
    if (!printing()) return;
    if (print_progress(now) >= 1.0) {
        end_print("complete", "completed", "");
    } else {
        follow_print_path(now);
    }
}

void Klippy::number_frame(std::uint64_t number) {
    board_.set_number(ids_->th_estimated_print_time, -static_cast<double>(number));
}

void Klippy::publish(Clock::time_point now, bool stamp_send_time) {
    FieldIds& f = *ids_;
    StatusBoard& b = board_;
    ++publish_count_;
    b.set_string(f.webhooks_state, state_ == "disconnected" ? "startup" : state_);
    b.set_string(f.webhooks_message, state_message_);

    if (stamp_send_time) {
        const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count();
        b.set_number(f.th_estimated_print_time, static_cast<double>(micros) / 1e6);
    } else {
        b.set_rounded(f.th_estimated_print_time, eventtime(now) - 1.237, 6);
    }
    publish_motion();

    b.set_rounded(f.ex_temperature, extruder_.temperature, 2);
    b.set_number(f.ex_target, extruder_.target);
    b.set_rounded(f.ex_power, extruder_.power, 3);
    b.set_bool(f.ex_can_extrude, extruder_.temperature >= options_.min_extrude_temp);
    b.set_rounded(f.bed_temperature, bed_.temperature, 2);
    b.set_number(f.bed_target, bed_.target);
    b.set_rounded(f.bed_power, bed_.power, 3);

    b.set_number(f.fan_speed, fan_speed_);
    b.set_int(f.fan_rpm, fan_speed_ > 0 ? static_cast<std::int64_t>(fan_speed_ * 6120) : 0);
    b.set_number(f.box_fan_speed, box_fan_speed_);
    b.set_int(f.box_fan_rpm, box_fan_speed_ > 0 ? static_cast<std::int64_t>(box_fan_speed_ * 3480) : 0);
    b.set_number(f.box_fan_value, box_fan_speed_);
    for (int i = 0; i < 6; ++i) b.set_number(f.pins[i], pins_[i]);

    if (mesh_loaded_) {
        b.set_string(f.mesh_profile_name, "default");
        const double lo[2] = {15.0, 15.0};
        const double hi[2] = {220.0, 220.0};
        b.set_numbers(f.mesh_min, lo, 2);
        b.set_numbers(f.mesh_max, hi, 2);
        b.set_raw(f.mesh_probed, kBedMeshMatrix);
        b.set_raw(f.mesh_matrix, kBedMeshMatrix);
    } else {
        b.set_string(f.mesh_profile_name, "");
        const double zero[2] = {0.0, 0.0};
        b.set_numbers(f.mesh_min, zero, 2);
        b.set_numbers(f.mesh_max, zero, 2);
        b.set_raw(f.mesh_probed, "[[]]");
        b.set_raw(f.mesh_matrix, "[[]]");
    }
    std::string& steppers = b.scratch();
    const char* names = options_.kinematics == Kinematics::delta ? "abc" : "xyz";
    steppers += "{";
    for (int i = 0; i < 3; ++i) {
        steppers += "\"stepper_";
        steppers.push_back(names[i]);
        steppers += motors_enabled_ ? "\":true," : "\":false,";
    }
    steppers += motors_enabled_ ? "\"extruder\":true}" : "\"extruder\":false}";
    b.commit(f.steppers);

    publish_print(now);
}

void Klippy::publish_motion() {
    FieldIds& f = *ids_;
    StatusBoard& b = board_;
    b.set_string(f.th_homed_axes, homed_axes_);
    b.set_rounded(f.th_print_time, print_time_, 6);
    b.set_numbers(f.th_position, position_.data(), 4, 4);

    // While printing, the G-code position is read back less often than the
    // toolhead moves, as on a real machine where moves are queued ahead.
    if (!printing() || publish_count_ % 4 == 0) {
        Coord gcode_position;
        for (int i = 0; i < 4; ++i) gcode_position[i] = position_[i] - base_position_[i];
        b.set_numbers(f.gm_position, position_.data(), 4, 4);
        b.set_numbers(f.gm_gcode_position, gcode_position.data(), 4, 4);
    }
    b.set_number(f.gm_speed_factor, speed_factor_);
    b.set_number(f.gm_speed, speed_);
    b.set_number(f.gm_extrude_factor, extrude_factor_);
    b.set_bool(f.gm_absolute_coordinates, absolute_coordinates_);
    b.set_bool(f.gm_absolute_extrude, absolute_extrude_);
    b.set_numbers(f.gm_homing_origin, homing_origin_.data(), 4);
}

void Klippy::publish_stats(Clock::time_point now) {
    FieldIds& f = *ids_;
    StatusBoard& b = board_;
    stats_.advance(seconds(now - last_stats_), printing());
    last_stats_ = now;
    stats_.write_last_stats(b.scratch());
    b.commit(f.mcu_last_stats);
    b.set_rounded(f.sys_sysload, stats_.sysload(), 2);
    b.set_rounded(f.sys_cputime, stats_.cputime(), 3);
    b.set_int(f.sys_memavail, stats_.memavail());
    // Klippy refreshes the idle timer's printing time about once a second too.
    b.set_rounded(f.idle_printing_time, printing() ? printing_seconds(now) : 0.0, 2);
}

}  // namespace printer_sim::detail
