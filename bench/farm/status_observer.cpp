// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "status_observer.h"

#include <algorithm>
#include <cstring>

#include "process_stats.h"

namespace farm {
namespace {

constexpr char kPrefix[] = "printer-";
constexpr std::size_t kPrefixLength = sizeof(kPrefix) - 1;

// One writer: a plain load and store is enough and avoids a locked add on
// every report.
template <typename T>
void bump(std::atomic<T>& counter) {
    counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

}  // namespace

StatusObserver::StatusObserver(int printers, std::size_t sample_capacity)
    : printers_(printers),
      last_stamp_(new double[static_cast<std::size_t>(printers)]),
      down_phase_(new std::atomic<int>[static_cast<std::size_t>(printers)]),
      ready_phase_(new std::atomic<int>[static_cast<std::size_t>(printers)]),
      attempt_phase_(new std::atomic<int>[static_cast<std::size_t>(printers)]),
      attempts_(new std::atomic<int>[static_cast<std::size_t>(printers)]),
      sample_capacity_(sample_capacity),
      samples_(new Sample[sample_capacity]) {
    for (int i = 0; i < printers; ++i) {
        last_stamp_[i] = 0;
        down_phase_[i].store(0);
        ready_phase_[i].store(0);
        attempt_phase_[i].store(0);
        attempts_[i].store(0);
    }
    // Touched now so that the pages are resident before the memory baseline
    // is taken and do not count as the plug-in's growth.
    std::memset(static_cast<void*>(samples_.get()), 0, sample_capacity * sizeof(Sample));
}

std::string StatusObserver::device_id(int index) { return kPrefix + std::to_string(index); }

int StatusObserver::index_of(const std::string& device_id) const {
    if (device_id.size() <= kPrefixLength || device_id.compare(0, kPrefixLength, kPrefix) != 0) return -1;
    int index = 0;
    for (std::size_t i = kPrefixLength; i < device_id.size(); ++i) {
        const char c = device_id[i];
        if (c < '0' || c > '9' || index > printers_) return -1;
        index = index * 10 + (c - '0');
    }
    return index < printers_ ? index : -1;
}

void StatusObserver::on_status(const std::string& device_id, const MachineStatus& status) {
    bump(reports_);
    const int i = index_of(device_id);
    if (i < 0) {
        bump(unknown_ids_);
        return;
    }
    const double stamp = status.toolhead.estimated_print_time;
    if (stamp != last_stamp_[i]) {
        last_stamp_[i] = stamp;
        bump(frames_);
        if (sampling_.load(std::memory_order_acquire)) {
            const double received = wall_seconds();
            const std::size_t count = sample_count_.load(std::memory_order_relaxed);
            if (count < sample_capacity_) {
                samples_[count] = Sample{stamp, received, i};
                sample_count_.store(count + 1, std::memory_order_release);
            } else {
                bump(samples_lost_);
            }
        }
    }

    const int phase = phase_.load(std::memory_order_acquire);
    if (status.connect_state != pemra::connect_state::open) {
        if (status.connect_state == pemra::connect_state::closed) bump(offline_reports_);
        if (status.machine_state == pemra::machine_state::reconnecting) {
            bump(attempt_reports_);
            if (attempt_phase_[i].load(std::memory_order_relaxed) != phase) {
                attempt_phase_[i].store(phase, std::memory_order_relaxed);
                attempts_[i].store(0, std::memory_order_relaxed);
            }
            bump(attempts_[i]);
            if (first_attempt_ns_[phase].load(std::memory_order_relaxed) == 0) {
                first_attempt_ns_[phase].store(steady_ns(), std::memory_order_release);
            }
        }
        if (down_phase_[i].load(std::memory_order_relaxed) != phase) {
            down_phase_[i].store(phase, std::memory_order_relaxed);
            down_count_[phase].fetch_add(1, std::memory_order_acq_rel);
        }
        return;
    }
    if (status.machine_state >= pemra::machine_state::idle && down_phase_[i].load(std::memory_order_relaxed) == phase &&
        ready_phase_[i].load(std::memory_order_relaxed) != phase) {
        ready_phase_[i].store(phase, std::memory_order_relaxed);
        if (ready_count_[phase].fetch_add(1, std::memory_order_acq_rel) + 1 == printers_) {
            all_ready_ns_[phase].store(steady_ns(), std::memory_order_release);
        }
    }
}

void StatusObserver::begin_phase(int phase, bool all_start_down) {
    if (all_start_down) {
        for (int i = 0; i < printers_; ++i) down_phase_[i].store(phase, std::memory_order_relaxed);
    }
    phase_.store(phase, std::memory_order_release);
}

int StatusObserver::most_attempts(int phase) const {
    int most = 0;
    for (int i = 0; i < printers_; ++i) {
        if (attempt_phase_[i].load(std::memory_order_relaxed) == phase) {
            most = std::max(most, attempts_[i].load(std::memory_order_relaxed));
        }
    }
    return most;
}

std::vector<StatusObserver::Sample> StatusObserver::samples() const {
    const std::size_t count = sample_count_.load(std::memory_order_acquire);
    return std::vector<Sample>(samples_.get(), samples_.get() + count);
}

}  // namespace farm
