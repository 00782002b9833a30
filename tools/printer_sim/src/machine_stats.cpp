// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "machine_stats.h"

#include <algorithm>
#include <cmath>

#include "json_out.h"

namespace printer_sim::detail {

namespace jo = json_out;

MachineStats::MachineStats(std::uint32_t seed) : rng_(seed * 2654435761u + 12345u) {}

double MachineStats::noise() {
    rng_ = rng_ * 1664525u + 1013904223u;
    return static_cast<double>(rng_ >> 8) / static_cast<double>(1u << 23) - 1.0;
}

void MachineStats::advance(double seconds, bool printing) {
    uptime_ += seconds;
    sysload_ = std::clamp(sysload_ + 0.02 * noise(), 0.01, 1.5);
    cputime_ += seconds * (0.02 + 0.01 * noise() + (printing ? 0.04 : 0.0));
    memavail_ += static_cast<std::int64_t>(300 * noise());
    mcu_awake_ = std::clamp(mcu_awake_ + 0.0003 * noise() + (printing ? 0.0002 : 0.0), 0.0005, 0.03);
    mcu_task_avg_ = std::clamp(mcu_task_avg_ + 0.000001 * noise(), 0.000005, 0.00005);
    const double per_second = printing ? 2400.0 : 180.0;
    bytes_write_ += static_cast<std::int64_t>(seconds * per_second * (1.0 + 0.1 * noise()));
    bytes_read_ += static_cast<std::int64_t>(seconds * 420.0 * (1.0 + 0.1 * noise()));
    send_seq_ += static_cast<std::int64_t>(seconds * (printing ? 160.0 : 14.0));
    receive_seq_ = send_seq_;
    srtt_ = std::clamp(srtt_ + 0.00002 * noise(), 0.0008, 0.002);
    for (int i = 0; i < 3; ++i) {
        const double rate = bandwidth_[i] * (1.0 + 0.2 * noise());
        rx_bytes_[i] += static_cast<std::int64_t>(rate * seconds);
        tx_bytes_[i] += static_cast<std::int64_t>(rate * 1.7 * seconds);
        rx_packets_[i] += static_cast<std::int64_t>(rate * seconds / 180.0);
        tx_packets_[i] += static_cast<std::int64_t>(rate * seconds / 150.0);
    }
    moonraker_cpu_ = std::clamp(moonraker_cpu_ + 0.3 * noise(), 0.5, 9.0);
    cpu_temp_ = std::clamp(cpu_temp_ + 0.2 * noise(), 38.0, 62.0);
    for (double& usage : cpu_usage_) usage = std::clamp(usage + 0.5 * noise(), 0.5, 25.0);
}

void MachineStats::write_last_stats(std::string& out) const {
    out += "{\"mcu_awake\":";
    jo::rounded(out, mcu_awake_, 3);
    out += ",\"mcu_task_avg\":";
    jo::rounded(out, mcu_task_avg_, 6);
    out += ",\"mcu_task_stddev\":";
    jo::rounded(out, mcu_task_stddev_, 6);
    out += ",\"bytes_write\":";
    jo::integer(out, bytes_write_);
    out += ",\"bytes_read\":";
    jo::integer(out, bytes_read_);
    out += ",\"bytes_retransmit\":9,\"bytes_invalid\":0,\"send_seq\":";
    jo::integer(out, send_seq_);
    out += ",\"receive_seq\":";
    jo::integer(out, receive_seq_);
    out += ",\"retransmit_seq\":2,\"srtt\":";
    jo::rounded(out, srtt_, 3);
    out += ",\"rttvar\":";
    jo::rounded(out, rttvar_, 3);
    out += ",\"rto\":";
    jo::rounded(out, rto_, 3);
    out += ",\"ready_bytes\":0,\"upcoming_bytes\":0,\"freq\":72000558}";
}

void MachineStats::write_proc_stat(std::string& out, double wall_time, int websocket_connections) const {
    static constexpr const char* kInterfaces[3] = {"lo", "wlan0", "can0"};
    out += R"({"jsonrpc":"2.0","method":"notify_proc_stat_update","params":[{"moonraker_stats":{"time":)";
    jo::rounded(out, wall_time, 6);
    out += ",\"cpu_usage\":";
    jo::rounded(out, moonraker_cpu_, 2);
    out += ",\"memory\":";
    jo::integer(out, moonraker_memory_);
    out += ",\"mem_units\":\"kB\"},\"cpu_temp\":";
    jo::rounded(out, cpu_temp_, 3);
    out += ",\"network\":{";
    for (int i = 0; i < 3; ++i) {
        if (i) out.push_back(',');
        jo::key(out, kInterfaces[i]);
        out += "{\"rx_bytes\":";
        jo::integer(out, rx_bytes_[i]);
        out += ",\"tx_bytes\":";
        jo::integer(out, tx_bytes_[i]);
        out += ",\"rx_packets\":";
        jo::integer(out, rx_packets_[i]);
        out += ",\"tx_packets\":";
        jo::integer(out, tx_packets_[i]);
        out += ",\"rx_errs\":0,\"tx_errs\":0,\"rx_drop\":";
        out += i == 1 ? "12" : "0";
        out += ",\"tx_drop\":0,\"bandwidth\":";
        jo::rounded(out, bandwidth_[i], 2);
        out.push_back('}');
    }
    out += "},\"system_cpu_usage\":{";
    for (int i = 0; i < 5; ++i) {
        if (i) out.push_back(',');
        out += i == 0 ? "\"cpu\":" : "\"cpu";
        if (i) {
            jo::integer(out, i - 1);
            out += "\":";
        }
        jo::rounded(out, cpu_usage_[i], 2);
    }
    out += "},\"system_memory\":{\"total\":3884520,\"available\":";
    jo::integer(out, memavail_ * 5);
    out += ",\"used\":";
    jo::integer(out, 3884520 - memavail_ * 5);
    out += "},\"throttled_state\":{\"bits\":0,\"flags\":[]},\"system_uptime\":";
    jo::rounded(out, uptime_, 2);
    out += ",\"websocket_connections\":";
    jo::integer(out, websocket_connections);
    out += "}]}";
}

}  // namespace printer_sim::detail
