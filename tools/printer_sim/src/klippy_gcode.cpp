// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The G-code commands Klippy runs for printer.gcode.script, with Klipper's
// answers: "ok", an error (which also goes out as a "!! ..." response), or
// informational "// ..." responses.
#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "klippy.h"

namespace printer_sim::detail {

namespace {

constexpr std::array<const char*, 6> kPins = {"box_led", "drying_box_heater", "LED_WHITE",
                                              "LED_ORANGE", "LED_RED", "BOXFAN_pin"};

// Commands Klippy accepts while it is not ready.
bool allowed_when_not_ready(const std::string& command) {
    return command == "FIRMWARE_RESTART" || command == "RESTART" || command == "M112" || command == "STATUS" ||
           command == "HELP";
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

double required(const GcodeLine& line, const std::string& name) {
    auto value = line.number(name);
    if (!value) throw GcodeError{"Error on '" + line.text + "': missing " + name};
    return *value;
}

}  // namespace

void Klippy::respond_info(std::string_view text) {
    std::string out = "// ";
    for (auto line : split_lines(text)) {
        if (out.size() > 3) out += "\n// ";
        out.append(trim(line));
    }
    events_.gcode_response(out);
}

void Klippy::respond_error(const std::string& message) {
    const auto lines = split_lines(message);
    if (lines.size() > 1) respond_info(message);
    events_.gcode_response("!! " + std::string(trim(lines.empty() ? std::string_view() : lines.front())));
}

ScriptResult Klippy::run_script(std::string_view script) {
    ScriptResult result;
    for (auto raw : split_lines(script)) {
        const GcodeLine line = parse_gcode_line(raw);
        if (line.command.empty()) continue;
        try {
            if (!ready() && !allowed_when_not_ready(line.command)) throw GcodeError{state_message_};
            run_line(line, result);
        } catch (const GcodeError& error) {
            respond_error(error.message);
            result.error = error.message;
            return result;
        }
        if (result.after == AfterReply::emergency_stop || result.after == AfterReply::restart) break;
    }
    return result;
}

void Klippy::run_line(const GcodeLine& line, ScriptResult& result) {
    if (run_motion_command(line) || run_thermal_command(line) || run_device_command(line) ||
        run_job_command(line, result)) {
        return;
    }
    respond_info("Unknown command:\"" + line.command + "\"");
}

void Klippy::move_to(const Coord& target) {
    ExtruderCheck extruder;
    extruder.can_extrude = options_.min_extrude_temp <= 0 || extruder_.temperature >= options_.min_extrude_temp;
    if (auto error = check_move(options_.kinematics, limits_, homed_axes_, position_, target, extruder)) {
        throw GcodeError{*error};
    }
    position_ = target;
    print_time_ = std::max(print_time_, eventtime(last_advance_)) + 0.25;
}

void Klippy::home(const GcodeLine& line) {
    const bool x = line.has("X"), y = line.has("Y"), z = line.has("Z");
    const bool all = (!x && !y && !z) || options_.kinematics == Kinematics::delta;
    const Coord home = home_position(options_.kinematics, position_[3]);
    std::string homed;
    for (int i = 0; i < 3; ++i) {
        const char axis = "xyz"[i];
        const bool now = all || (i == 0 && x) || (i == 1 && y) || (i == 2 && z);
        if (now) position_[i] = home[i];
        if (now || homed_axes_.find(axis) != std::string::npos) homed.push_back(axis);
    }
    homed_axes_ = homed;
    motors_enabled_ = true;
    print_time_ = std::max(print_time_, eventtime(last_advance_)) + 1.5;
}

bool Klippy::run_motion_command(const GcodeLine& line) {
    const std::string& c = line.command;
    if (c == "G0" || c == "G1") {
        Coord target = position_;
        for (int i = 0; i < 3; ++i) {
            if (auto v = line.number(std::string(1, "XYZ"[i]))) {
                target[i] = absolute_coordinates_ ? *v + base_position_[i] : position_[i] + *v;
            }
        }
        if (auto e = line.number("E")) {
            target[3] = absolute_extrude_ ? *e * extrude_factor_ + base_position_[3] : position_[3] + *e * extrude_factor_;
        }
        if (auto f = line.number("F")) {
            if (*f <= 0) throw GcodeError{"Invalid speed in '" + line.text + "'"};
            speed_ = *f;
        }
        move_to(target);
    } else if (c == "G28") {
        home(line);
    } else if (c == "G90") {
        absolute_coordinates_ = true;
    } else if (c == "G91") {
        absolute_coordinates_ = false;
    } else if (c == "M82") {
        absolute_extrude_ = true;
    } else if (c == "M83") {
        absolute_extrude_ = false;
    } else if (c == "G92") {
        bool any = false;
        for (int i = 0; i < 4; ++i) {
            if (auto v = line.number(std::string(1, "XYZE"[i]))) {
                base_position_[i] = position_[i] - *v;
                any = true;
            }
        }
        if (!any) base_position_ = position_;
    } else if (c == "SET_GCODE_OFFSET") {
        for (int i = 0; i < 3; ++i) {
            if (auto v = line.number(std::string(1, "XYZ"[i]))) {
                base_position_[i] += *v - homing_origin_[i];
                homing_origin_[i] = *v;
            }
        }
    } else if (c == "M114") {
        char text[128];
        std::snprintf(text, sizeof text, "X:%.3f Y:%.3f Z:%.3f E:%.3f", position_[0] - base_position_[0],
                      position_[1] - base_position_[1], position_[2] - base_position_[2],
                      position_[3] - base_position_[3]);
        events_.gcode_response(text);
    } else if (c == "M220") {
        speed_factor_ = required(line, "S") / 100.0;
    } else if (c == "M221") {
        extrude_factor_ = required(line, "S") / 100.0;
    } else if (c == "M84" || c == "M18") {
        motors_enabled_ = false;
        homed_axes_.clear();
    } else if (c == "G4" || c == "M400" || c == "SAVE_GCODE_STATE" || c == "RESTORE_GCODE_STATE") {
        // Nothing is queued ahead in the simulation, so there is nothing to wait for.
    } else {
        return false;
    }
    return true;
}

bool Klippy::run_thermal_command(const GcodeLine& line) {
    const std::string& c = line.command;
    auto set_target = [&](Heater& heater, double target, double max) {
        if (target < 0 || target > max) {
            char text[96];
            std::snprintf(text, sizeof text, "Requested temperature (%.1f) out of range (0.0:%.1f)", target, max);
            throw GcodeError{text};
        }
        heater.target = target;
    };
    if (c == "M104" || c == "M109") {
        set_target(extruder_, line.number("S").value_or(0.0), 300.0);
    } else if (c == "M140" || c == "M190") {
        set_target(bed_, line.number("S").value_or(0.0), 120.0);
    } else if (c == "SET_HEATER_TEMPERATURE") {
        const std::string heater = line.text_param("HEATER");
        const double target = line.number("TARGET").value_or(0.0);
        if (heater == "extruder") {
            set_target(extruder_, target, 300.0);
        } else if (heater == "heater_bed") {
            set_target(bed_, target, 120.0);
        } else {
            throw GcodeError{"The value '" + heater + "' is not valid for HEATER"};
        }
    } else if (c == "TURN_OFF_HEATERS") {
        extruder_.target = bed_.target = 0.0;
    } else if (c == "M106") {
        fan_speed_ = std::clamp(line.number("S").value_or(255.0) / 255.0, 0.0, 1.0);
    } else if (c == "M107") {
        fan_speed_ = 0.0;
    } else if (c == "SET_FAN_SPEED") {
        const std::string fan = line.text_param("FAN");
        if (fan != "box_fan") throw GcodeError{"The value '" + fan + "' is not valid for FAN"};
        box_fan_speed_ = std::clamp(required(line, "SPEED"), 0.0, 1.0);
    } else {
        return false;
    }
    return true;
}

bool Klippy::run_device_command(const GcodeLine& line) {
    const std::string& c = line.command;
    if (c == "SET_PIN") {
        const std::string pin = line.text_param("PIN");
        if (pin.empty()) throw GcodeError{"Error on '" + line.text + "': missing PIN"};
        const auto found = std::find(kPins.begin(), kPins.end(), pin);
        if (found == kPins.end()) throw GcodeError{"The value '" + pin + "' is not valid for PIN"};
        pins_[found - kPins.begin()] = std::clamp(required(line, "VALUE"), 0.0, 1.0);
    } else if (c == "M117") {
        display_message_ = line.rest;
    } else if (c == "RESPOND" || c == "M118") {
        std::string text = line.rest;
        if (c == "RESPOND") {
            const auto msg = text.find("MSG=");
            text = msg == std::string::npos ? std::string() : text.substr(msg + 4);
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
        }
        events_.gcode_response("echo: " + text);
    } else if (c == "BED_MESH_PROFILE") {
        if (line.has("LOAD")) mesh_loaded_ = line.text_param("LOAD") == "default";
        if (line.has("LOAD") && !mesh_loaded_) {
            throw GcodeError{"bed_mesh: Unknown profile [" + line.text_param("LOAD") + "]"};
        }
    } else if (c == "BED_MESH_CLEAR") {
        mesh_loaded_ = false;
    } else if (c == "STATUS") {
        respond_info(ready() ? std::string("Klipper state: Ready") : state_message_);
    } else if (c == "HELP") {
        respond_info("Available extended commands:\nFIRMWARE_RESTART: Restart firmware, host, and reload config\n"
                     "RESTART: Reload config file and restart host software\nSTATUS: Report the printer status");
    } else if (c == "M115") {
        events_.gcode_response("FIRMWARE_VERSION:" + options_.software_version + " FIRMWARE_NAME:Klipper");
    } else if (c == "START_PRINT") {
        bed_.target = line.number("BED_TEMP").value_or(60.0);
        extruder_.target = line.number("EXTRUDER_TEMP").value_or(210.0);
        home(GcodeLine{});
    } else if (c == "END_PRINT") {
        extruder_.target = bed_.target = fan_speed_ = 0.0;
        motors_enabled_ = false;
        homed_axes_.clear();
    } else {
        return false;
    }
    return true;
}

bool Klippy::run_job_command(const GcodeLine& line, ScriptResult& result) {
    const std::string& c = line.command;
    if (c == "SDCARD_PRINT_FILE") {
        if (auto error = start_print(line.text_param("FILENAME"))) throw GcodeError{*error};
    } else if (c == "PAUSE") {
        if (print_state_ == "paused") {
            respond_info("Print already paused");
        } else {
            pause_print();
        }
    } else if (c == "RESUME") {
        if (print_state_ != "paused") {
            respond_info("Print is not paused, resume aborted");
        } else {
            resume_print();
        }
    } else if (c == "CANCEL_PRINT") {
        cancel_print();
    } else if (c == "M112") {
        result.after = AfterReply::emergency_stop;
    } else if (c == "FIRMWARE_RESTART" || c == "RESTART") {
        result.after = AfterReply::restart;
    } else if (c == "LOAD_FILAMENT" || c == "UNLOAD_FILAMENT") {
        extruder_.target = line.number("TEMP").value_or(220.0);
        result.after = c == "LOAD_FILAMENT" ? AfterReply::load_filament : AfterReply::unload_filament;
    } else {
        return false;
    }
    return true;
}

}  // namespace printer_sim::detail
