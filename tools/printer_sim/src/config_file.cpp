// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "config_file.h"

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace printer_sim::detail {
namespace {

constexpr const char* kCartesian = R"CFG(
[printer]
kinematics: cartesian
max_velocity: 300
max_accel: 3000
max_z_velocity: 5
max_z_accel: 100
square_corner_velocity: 5.0

[stepper_x]
step_pin: PB13
dir_pin: !PB12
enable_pin: !PB14
microsteps: 16
rotation_distance: 40
endstop_pin: ^PC0
position_endstop: 0
position_max: 235
homing_speed: 50

[stepper_y]
step_pin: PB10
dir_pin: !PB2
enable_pin: !PB11
microsteps: 16
rotation_distance: 40
endstop_pin: ^PC1
position_endstop: 0
position_max: 235
homing_speed: 50

[stepper_z]
step_pin: PB0
dir_pin: PC5
enable_pin: !PB1
microsteps: 16
rotation_distance: 8
endstop_pin: ^PC2
position_endstop: 0.0
position_max: 250
position_min: -2.0
)CFG";

constexpr const char* kDelta = R"CFG(
[printer]
kinematics: delta
max_velocity: 300
max_accel: 3000
max_z_velocity: 150
delta_radius: 105.2
print_radius: 100
minimum_z_position: -2.5
square_corner_velocity: 5.0

[stepper_a]
step_pin: PB13
dir_pin: !PB12
enable_pin: !PB14
microsteps: 16
rotation_distance: 40
endstop_pin: ^PC0
position_endstop: 300
arm_length: 217.0
homing_speed: 50

[stepper_b]
step_pin: PB10
dir_pin: !PB2
enable_pin: !PB11
microsteps: 16
rotation_distance: 40
endstop_pin: ^PC1

[stepper_c]
step_pin: PB0
dir_pin: !PC5
enable_pin: !PB1
microsteps: 16
rotation_distance: 40
endstop_pin: ^PC2
)CFG";

constexpr const char* kCommon = R"CFG(
[mcu]
serial: /dev/serial/by-id/usb-Klipper_stm32f103xe_32FFD8054E58353830702343-if00
restart_method: command

[virtual_sdcard]
path: ~/printer_data/gcodes
on_error_gcode: CANCEL_PRINT

[display_status]

[pause_resume]
recover_velocity: 50

[exclude_object]

[idle_timeout]
timeout: 1800
gcode:
  {% if printer.pause_resume.is_paused %}
    M104 S0
  {% else %}
    TURN_OFF_HEATERS
    M84
  {% endif %}

[extruder]
step_pin: PB3
dir_pin: PB4
enable_pin: !PD2
microsteps: 16
rotation_distance: 7.71
nozzle_diameter: 0.400
filament_diameter: 1.750
max_extrude_only_distance: 150.0
max_extrude_cross_section: 5.0
heater_pin: PC8
sensor_type: EPCOS 100K B57560G104F
sensor_pin: PA0
control: pid
pid_kp: 21.527
pid_ki: 1.063
pid_kd: 108.982
min_temp: 0
max_temp: 300
min_extrude_temp: 170
pressure_advance: 0.04
pressure_advance_smooth_time: 0.040

[heater_bed]
heater_pin: PC9
sensor_type: EPCOS 100K B57560G104F
sensor_pin: PC4
control: pid
pid_kp: 54.027
pid_ki: 0.770
pid_kd: 948.182
min_temp: 0
max_temp: 120

[fan]
pin: PA8
max_power: 1.0
kick_start_time: 0.5
off_below: 0.10
tachometer_pin: ^PC14

[fan_generic box_fan]
pin: PC6
max_power: 1.0
kick_start_time: 0.5
tachometer_pin: ^PC15

[heater_fan hotend_fan]
pin: PC7
heater: extruder
heater_temp: 50.0

[output_pin box_led]
pin: PB5
value: 0
shutdown_value: 0

[output_pin drying_box_heater]
pin: PB6
value: 0
shutdown_value: 0

[output_pin LED_WHITE]
pin: PB7
pwm: True
value: 0
shutdown_value: 0
cycle_time: 0.010

[output_pin LED_ORANGE]
pin: PB8
pwm: True
value: 0
shutdown_value: 0
cycle_time: 0.010

[output_pin LED_RED]
pin: PB9
pwm: True
value: 0
shutdown_value: 0
cycle_time: 0.010

[output_pin BOXFAN_pin]
pin: PA15
value: 0
shutdown_value: 0

[bed_mesh]
speed: 120
horizontal_move_z: 5
mesh_min: 15, 15
mesh_max: 220, 220
probe_count: 5, 5
algorithm: bicubic
fade_start: 1
fade_end: 10

[tmc2209 stepper_x]
uart_pin: PC11
tx_pin: PC10
uart_address: 0
run_current: 0.580
hold_current: 0.500
stealthchop_threshold: 999999
interpolate: True

[tmc2209 stepper_y]
uart_pin: PC11
tx_pin: PC10
uart_address: 2
run_current: 0.580
hold_current: 0.500
stealthchop_threshold: 999999
interpolate: True

[tmc2209 stepper_z]
uart_pin: PC11
tx_pin: PC10
uart_address: 1
run_current: 0.580
hold_current: 0.500
stealthchop_threshold: 999999
interpolate: True

[tmc2209 extruder]
uart_pin: PC11
tx_pin: PC10
uart_address: 3
run_current: 0.650
hold_current: 0.500
stealthchop_threshold: 0
interpolate: True

[gcode_macro PAUSE]
description: Pause the actual running print
rename_existing: PAUSE_BASE
variable_extrude: 1.0
gcode:
  ##### read E from pause macro #####
  {% set E = printer["gcode_macro PAUSE"].extrude|float %}
  ##### set park positon for x and y #####
  {% set x_park = printer.toolhead.axis_maximum.x|float - 5.0 %}
  {% set y_park = printer.toolhead.axis_maximum.y|float - 5.0 %}
  ##### calculate save lift position #####
  {% set max_z = printer.toolhead.axis_maximum.z|float %}
  {% set act_z = printer.toolhead.position.z|float %}
  {% if act_z < (max_z - 2.0) %}
    {% set z_safe = 2.0 %}
  {% else %}
    {% set z_safe = max_z - act_z %}
  {% endif %}
  ##### end of definitions #####
  PAUSE_BASE
  G91
  {% if printer.extruder.can_extrude|lower == 'true' %}
    G1 E-{E} F2100
  {% else %}
    {action_respond_info("Extruder not hot enough")}
  {% endif %}
  {% if "xyz" in printer.toolhead.homed_axes %}
    G1 Z{z_safe} F900
    G90
    G1 X{x_park} Y{y_park} F6000
  {% else %}
    {action_respond_info("Printer not homed")}
  {% endif %}

[gcode_macro RESUME]
description: Resume the actual running print
rename_existing: RESUME_BASE
gcode:
  ##### read E from pause macro #####
  {% set E = printer["gcode_macro PAUSE"].extrude|float %}
  #### get VELOCITY parameter if specified ####
  {% if 'VELOCITY' in params|upper %}
    {% set get_params = ('VELOCITY=' + params.VELOCITY)  %}
  {%else %}
    {% set get_params = "" %}
  {% endif %}
  ##### end of definitions #####
  {% if printer.extruder.can_extrude|lower == 'true' %}
    G91
    G1 E{E} F2100
  {% else %}
    {action_respond_info("Extruder not hot enough")}
  {% endif %}
  RESUME_BASE {get_params}

[gcode_macro CANCEL_PRINT]
description: Cancel the actual running print
rename_existing: CANCEL_PRINT_BASE
gcode:
  TURN_OFF_HEATERS
  {% if "xyz" in printer.toolhead.homed_axes %}
    G91
    G1 Z4.5 F300
    G90
  {% else %}
    {action_respond_info("Printer not homed")}
  {% endif %}
  G92 E0
  G1 E-2 F2100
  M106 S0
  M84
  CANCEL_PRINT_BASE

[gcode_macro LOAD_FILAMENT]
description: Heat the nozzle and load filament from the box
variable_load_temp: 220
variable_load_length: 90
variable_purge_length: 40
gcode:
  {% set temp = params.TEMP|default(printer["gcode_macro LOAD_FILAMENT"].load_temp)|float %}
  {% set length = printer["gcode_macro LOAD_FILAMENT"].load_length|float %}
  {% set purge = printer["gcode_macro LOAD_FILAMENT"].purge_length|float %}
  SAVE_GCODE_STATE NAME=load_state
  M109 S{temp}
  RESPOND MSG="load_filament heating completed"
  M83
  G1 E{length} F600
  G1 E{purge} F300
  RESTORE_GCODE_STATE NAME=load_state
  RESPOND MSG="load_filament done"

[gcode_macro UNLOAD_FILAMENT]
description: Heat the nozzle and retract the filament into the box
variable_unload_temp: 220
variable_unload_length: 100
gcode:
  {% set temp = params.TEMP|default(printer["gcode_macro UNLOAD_FILAMENT"].unload_temp)|float %}
  {% set length = printer["gcode_macro UNLOAD_FILAMENT"].unload_length|float %}
  SAVE_GCODE_STATE NAME=unload_state
  M109 S{temp}
  RESPOND MSG="unload_filament heating completed"
  M83
  G1 E10 F300
  G1 E-{length} F1800
  RESTORE_GCODE_STATE NAME=unload_state
  RESPOND MSG="unload_filament done"

[gcode_macro START_PRINT]
gcode:
  {% set BED_TEMP = params.BED_TEMP|default(60)|float %}
  {% set EXTRUDER_TEMP = params.EXTRUDER_TEMP|default(210)|float %}
  M140 S{BED_TEMP}
  G90
  SET_GCODE_OFFSET Z=0.0
  G28
  BED_MESH_PROFILE LOAD=default
  G1 Z5 F3000
  G1 Z0.15 F300
  M190 S{BED_TEMP}
  M109 S{EXTRUDER_TEMP}
  G92 E0
  G1 X10.1 Y20 Z0.28 F5000.0
  G1 X10.1 Y200.0 Z0.28 F1500.0 E15
  G1 X10.4 Y200.0 Z0.28 F5000.0
  G1 X10.4 Y20 Z0.28 F1500.0 E30
  G92 E0
  G1 Z2.0 F3000

[gcode_macro END_PRINT]
gcode:
  G91
  G1 E-2 Z0.2 F2400
  G1 X5 Y5 F3000
  G1 Z10
  G90
  G1 X0 Y220
  M106 S0
  TURN_OFF_HEATERS
  M84

[gcode_arcs]
resolution: 0.5

[respond]

[force_move]
enable_force_move: True

[firmware_retraction]
retract_length: 0.8
retract_speed: 40
unretract_extra_length: 0
unretract_speed: 30

[input_shaper]
shaper_freq_x: 52.4
shaper_type_x: mzv
shaper_freq_y: 38.8
shaper_type_y: ei

[temperature_sensor raspberry_pi]
sensor_type: temperature_host
min_temp: 10
max_temp: 100

[temperature_sensor mcu_temp]
sensor_type: temperature_mcu
min_temp: 0
max_temp: 100

[bed_mesh default]
version: 1
points:
  -0.042500, -0.020000, 0.007500, 0.032500, 0.065000
  -0.035000, -0.012500, 0.015000, 0.040000, 0.072500
  -0.030000, -0.005000, 0.020000, 0.047500, 0.077500
  -0.022500, 0.002500, 0.027500, 0.052500, 0.085000
  -0.017500, 0.010000, 0.035000, 0.060000, 0.092500
x_count: 5
y_count: 5
mesh_x_pps: 2
mesh_y_pps: 2
algo: bicubic
tension: 0.2
min_x: 15.0
max_x: 220.0
min_y: 15.0
max_y: 220.0
)CFG";

using Section = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;

std::vector<Section> parse(const std::string& text) {
    std::vector<Section> sections;
    std::istringstream in(text);
    std::string line;
    std::string* value = nullptr;
    while (std::getline(in, line)) {
        if (line.empty()) {
            value = nullptr;
            continue;
        }
        if (line.front() == '[') {
            sections.push_back({line.substr(1, line.find(']') - 1), {}});
            value = nullptr;
        } else if (line.front() == ' ' && value) {
            *value += "\n" + line.substr(2);  // continuation of a multi-line value
        } else if (!sections.empty()) {
            const auto colon = line.find(':');
            std::string key = line.substr(0, colon);
            std::string rest = colon + 1 < line.size() ? line.substr(colon + 2) : "";
            sections.back().second.emplace_back(std::move(key), std::move(rest));
            value = &sections.back().second.back().second;
        }
    }
    return sections;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Klipper's typed reading of a raw option text.
nlohmann::json typed(const std::string& raw) {
    if (raw == "True") return true;
    if (raw == "False") return false;
    if (!raw.empty()) {
        char* end = nullptr;
        const double number = std::strtod(raw.c_str(), &end);
        if (end && *end == '\0') return number;
    }
    if (raw.find(", ") != std::string::npos && raw.find('\n') == std::string::npos) {
        nlohmann::json list = nlohmann::json::array();
        std::istringstream parts(raw);
        std::string part;
        while (std::getline(parts, part, ',')) {
            const double number = std::strtod(part.c_str(), nullptr);
            list.push_back(number);
        }
        return list;
    }
    return raw;
}

// Options Klipper reports in "settings" although printer.cfg leaves them out.
void add_defaults(nlohmann::json& settings) {
    auto fill = [&](const char* section, std::initializer_list<std::pair<const char*, nlohmann::json>> values) {
        if (!settings.contains(section)) return;
        for (const auto& [key, value] : values) {
            if (!settings[section].contains(key)) settings[section][key] = value;
        }
    };
    fill("fan", {{"shutdown_speed", 0.0}, {"cycle_time", 0.01}, {"hardware_pwm", false}, {"tachometer_ppr", 2},
                 {"tachometer_poll_interval", 0.0015}});
    fill("fan_generic box_fan", {{"shutdown_speed", 0.0}, {"cycle_time", 0.01}, {"hardware_pwm", false},
                                 {"off_below", 0.0}, {"tachometer_ppr", 2}, {"tachometer_poll_interval", 0.0015}});
    fill("extruder", {{"pullup_resistor", 4700.0}, {"smooth_time", 1.0}, {"inline_resistor", 0.0},
                      {"pwm_cycle_time", 0.1}, {"max_power", 1.0}, {"instantaneous_corner_velocity", 1.0},
                      {"max_extrude_only_velocity", 75.0}, {"max_extrude_only_accel", 1500.0}});
    fill("heater_bed", {{"pullup_resistor", 4700.0}, {"smooth_time", 1.0}, {"inline_resistor", 0.0},
                        {"pwm_cycle_time", 0.1}, {"max_power", 1.0}});
    fill("printer", {{"max_accel_to_decel", 1500.0}, {"buffer_time_low", 1.0}, {"buffer_time_high", 2.0},
                     {"buffer_time_start", 0.25}, {"move_flush_time", 0.05}});
    fill("mcu", {{"baud", 250000}, {"max_stepper_error", 0.000025}});
    fill("idle_timeout", {{"timeout", 1800.0}});
    fill("virtual_sdcard", {{"on_error_gcode", "CANCEL_PRINT"}});
    for (auto& [name, section] : settings.items()) {
        if (name.rfind("stepper_", 0) == 0) {
            for (const auto& [key, value] : {std::pair<const char*, nlohmann::json>{"full_steps_per_rotation", 200},
                                             {"gear_ratio", nlohmann::json::array()},
                                             {"step_pulse_duration", nullptr},
                                             {"homing_retract_dist", 5.0},
                                             {"homing_retract_speed", 50.0},
                                             {"second_homing_speed", 25.0},
                                             {"homing_positive_dir", false}}) {
                if (!section.contains(key)) section[key] = value;
            }
        }
        if (name.rfind("tmc2209 ", 0) == 0) {
            for (const auto& [key, value] : {std::pair<const char*, nlohmann::json>{"sense_resistor", 0.11},
                                             {"driver_tbl", 2}, {"driver_toff", 3}, {"driver_hend", 0},
                                             {"driver_hstrt", 5}, {"driver_pwm_autoscale", true},
                                             {"driver_pwm_autograd", true}, {"driver_pwm_freq", 1},
                                             {"driver_pwm_grad", 14}, {"driver_pwm_ofs", 36},
                                             {"driver_pwm_reg", 8}, {"driver_pwm_lim", 12},
                                             {"driver_tpowerdown", 20}, {"driver_sgthrs", 0}}) {
                if (!section.contains(key)) section[key] = value;
            }
        }
    }
}

}  // namespace

ConfigTexts config_texts(Kinematics kinematics) {
    std::string text = kinematics == Kinematics::delta ? kDelta : kCartesian;
    if (kinematics == Kinematics::corexy) text.replace(text.find("cartesian"), 9, "corexy");
    text += kCommon;
    nlohmann::json config = nlohmann::json::object();
    nlohmann::json settings = nlohmann::json::object();
    for (const auto& [name, options] : parse(text)) {
        nlohmann::json raw = nlohmann::json::object();
        nlohmann::json parsed = nlohmann::json::object();
        for (const auto& [key, value] : options) {
            raw[key] = value;
            parsed[lower(key)] = typed(value);
        }
        config[name] = std::move(raw);
        settings[lower(name)] = std::move(parsed);
    }
    add_defaults(settings);
    return {config.dump(), settings.dump()};
}

}  // namespace printer_sim::detail
