// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <string_view>
#include <utility>

#include "status/json_read.h"
#include "status/status_readers.h"

namespace pemra::status {
namespace {

using json_read::Fields;

struct ModelLimits {
    std::string_view model;
    double extruder_max;
    double bed_max;
};

constexpr ModelLimits kModelLimits[] = {
    {"Pemra A2", 350.0, 120.0},
    {"Pemra B2", 300.0, 110.0},
    {"Pemra C300", 300.0, 110.0},
};

// Reads a heater's "target"; a target set on a known model also sets that
// heater's limit (`limit` picks the heater's column of the table).
void read_target(const Fields& f, const std::string& hostname, double ModelLimits::*limit, double& target,
                 double& max_temp) {
    if (!f.read("target", target)) return;
    for (const auto& model : kModelLimits) {
        if (hostname == model.model) {
            max_temp = model.*limit;
            return;
        }
    }
}

void read_switch_entry(const Entries& status, std::string_view key, bool& member) {
    if (const auto entry = status.object(key)) Fields(*entry, key).read_switch("value", member);
}

}  // namespace

void apply_box_led(MachineStatus& s, const Entries& status) {
    read_switch_entry(status, "output_pin box_led", s.box_led_on);
}

void apply_box_fan_switch(MachineStatus& s, const Entries& status) {
    read_switch_entry(status, "fan_generic box_fan", s.box_fan_on);
}

void apply_drying_box_heater(MachineStatus& s, const Entries& status) {
    read_switch_entry(status, "output_pin drying_box_heater", s.drying_box.heater_on);
}

void apply_leds(MachineStatus& s, const Entries& status) {
    static constexpr std::pair<std::string_view, std::int32_t> kLights[] = {
        {"output_pin LED_WHITE", led_color::white},
        {"output_pin LED_ORANGE", led_color::orange},
        {"output_pin LED_RED", led_color::red},
    };
    for (const auto& [key, color] : kLights) {
        bool on = false;
        if (const auto entry = status.object(key)) {
            if (Fields(*entry, key).read_switch("value", on) && on) s.led_color = color;
        }
    }
}

void apply_extruder(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("extruder");
    if (!entry) return;
    Fields f(*entry, "extruder");
    f.read("can_extrude", s.extruder.can_extrude);
    f.read("temperature", s.extruder.temperature);
    read_target(f, s.hostname, &ModelLimits::extruder_max, s.extruder.target, s.extruder.max_temp);
    f.read("power", s.extruder.power);
    f.read("pressure_advance", s.extruder.pressure_advance);
    f.read("smooth_time", s.extruder.smooth_time);
}

void apply_heater_bed(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("heater_bed");
    if (!entry) return;
    Fields f(*entry, "heater_bed");
    f.read("temperature", s.heater_bed.temperature);
    read_target(f, s.hostname, &ModelLimits::bed_max, s.heater_bed.target, s.heater_bed.max_temp);
    f.read("power", s.heater_bed.power);
}

void apply_fan(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("fan");
    if (!entry) return;
    Fields f(*entry, "fan");
    f.read("speed", s.fan.speed);
    f.read("rpm", s.fan.rpm);
}

void apply_box_fan(MachineStatus& s, const Entries& status) {
    if (const auto entry = status.object("fan_generic box_fan")) {
        Fields f(*entry, "fan_generic box_fan");
        f.read("speed", s.box_fan.speed);
        f.read("rpm", s.box_fan.rpm);
    }
    if (const auto entry = status.object("output_pin BOXFAN_pin")) {
        Fields(*entry, "output_pin BOXFAN_pin").read("value", s.box_fan.speed);
    }
}

}  // namespace pemra::status
