// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The host and micro-controller statistics a printer reports about once a
// second: mcu.last_stats and system_stats of the status, and the API server's
// notify_proc_stat_update. Values drift plausibly from one report to the next.
//
// Not thread-safe: owned and used by one printer on its io thread.

#include <cstdint>
#include <string>

namespace printer_sim::detail {

class MachineStats {
public:
    explicit MachineStats(std::uint32_t seed);

    // Moves every counter on by one report, `seconds` after the previous one.
    void advance(double seconds, bool printing);

    // The value of mcu.last_stats (a JSON object).
    void write_last_stats(std::string& out) const;
    double sysload() const { return sysload_; }
    double cputime() const { return cputime_; }
    std::int64_t memavail() const { return memavail_; }
    // A whole notify_proc_stat_update frame.
    void write_proc_stat(std::string& out, double wall_time, int websocket_connections) const;

private:
    double noise();  // in [-1, 1)

    std::uint32_t rng_;
    double uptime_ = 193127.25;
    double sysload_ = 0.12;
    double cputime_ = 41.873;
    std::int64_t memavail_ = 612384;
    double mcu_awake_ = 0.0021;
    double mcu_task_avg_ = 0.000011;
    double mcu_task_stddev_ = 0.000008;
    std::int64_t bytes_write_ = 1843217;
    std::int64_t bytes_read_ = 462139;
    std::int64_t send_seq_ = 97321;
    std::int64_t receive_seq_ = 97321;
    double srtt_ = 0.00102;
    double rttvar_ = 0.00021;
    double rto_ = 0.025;
    std::int64_t rx_bytes_[3] = {82174612, 361904551, 48221954};
    std::int64_t tx_bytes_[3] = {82174612, 982143326, 12990411};
    std::int64_t rx_packets_[3] = {410262, 1083218, 4821930};
    std::int64_t tx_packets_[3] = {410262, 1121594, 1299041};
    double bandwidth_[3] = {812.4, 4211.7, 321.47};
    double moonraker_cpu_ = 1.85;
    std::int64_t moonraker_memory_ = 141216;
    double cpu_temp_ = 46.738;
    double cpu_usage_[5] = {3.51, 4.12, 2.97, 3.85, 3.11};
};

}  // namespace printer_sim::detail
