// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "farm_result.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace farm {

#define FARM_FIELD(name) FieldInfo{#name, &FarmResult::name}

const std::vector<FieldInfo>& result_fields() {
    static const std::vector<FieldInfo> fields = {
        FARM_FIELD(printers),          FARM_FIELD(connect_calls_ms),      FARM_FIELD(connect_s),
        FARM_FIELD(connected),         FARM_FIELD(window_s),              FARM_FIELD(cpu_s),
        FARM_FIELD(cpu_percent),       FARM_FIELD(frames),                FARM_FIELD(reports),
        FARM_FIELD(frames_per_s),      FARM_FIELD(expected_frames_per_s), FARM_FIELD(cpu_us_per_frame),
        FARM_FIELD(rss_base_kib),      FARM_FIELD(rss_streaming_kib),     FARM_FIELD(rss_kib_per_printer),
        FARM_FIELD(latency_samples),   FARM_FIELD(latency_p50_ms),        FARM_FIELD(latency_p99_ms),
        FARM_FIELD(latency_max_ms),    FARM_FIELD(storm_down),            FARM_FIELD(storm_sim_restart_s),
        FARM_FIELD(storm_s),           FARM_FIELD(storm_pass_s),          FARM_FIELD(storm_reconnect_s),
        FARM_FIELD(storm_attempts),    FARM_FIELD(storm_back),            FARM_FIELD(destroy_ms),
        FARM_FIELD(io_thread_cpu_percent), FARM_FIELD(io_thread_wait_ms_per_s),
        FARM_FIELD(simulator_cpu_percent), FARM_FIELD(simulator_wait_ms_per_s), FARM_FIELD(load_average),
        FARM_FIELD(bare_subscribed), FARM_FIELD(bare_cpu_percent), FARM_FIELD(bare_cpu_us_per_frame),
        FARM_FIELD(cpu_vs_bare),
        FARM_FIELD(steady_drops),      FARM_FIELD(steady_attempts),       FARM_FIELD(storm_after_listen_s),
        FARM_FIELD(io_thread_wakes_per_s), FARM_FIELD(bare_wakes_per_s), FARM_FIELD(bare_paused_cpu_percent),
        FARM_FIELD(bare_paused_cpu_us_per_frame), FARM_FIELD(bare_paused_wakes_per_s), FARM_FIELD(cpu_vs_bare_paused),
    };
    return fields;
}

#undef FARM_FIELD

std::string serialise(const FarmResult& result) {
    std::string out;
    char value[64];
    for (const auto& field : result_fields()) {
        std::snprintf(value, sizeof value, "%.17g", result.*field.member);
        out += field.name;
        out += '=';
        out += value;
        out += '\n';
    }
    return out;
}

FarmResult deserialise(const std::string& text) {
    FarmResult result;
    for (const auto& field : result_fields()) result.*field.member = std::nan("");
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals);
        for (const auto& field : result_fields()) {
            if (name == field.name) result.*field.member = std::strtod(line.c_str() + equals + 1, nullptr);
        }
    }
    return result;
}

}  // namespace farm
