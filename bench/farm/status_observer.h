// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The host's machine-status callback and what it counts. It runs on the
// plug-in's network thread for every report while the benchmark's main
// thread only reads counters, so the callback keeps to preallocated arrays
// and single-writer atomics: whatever it costs is charged to the host.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pemra_network/machine_status.h"

namespace farm {

class StatusObserver {
public:
    StatusObserver(int printers, std::size_t sample_capacity);

    static std::string device_id(int index);

    // The callback body. Must be called from one thread only (the plug-in
    // calls every callback of an agent on its one network thread).
    void on_status(const std::string& device_id, const MachineStatus& status);

    // Phases count "open and subscribed" afresh: a printer is counted once
    // per phase, and only after it was seen not open within that phase
    // (or was marked so, for the first connect).
    void begin_phase(int phase, bool all_start_down);
    int ready(int phase) const { return ready_count_[phase].load(std::memory_order_acquire); }
    int down(int phase) const { return down_count_[phase].load(std::memory_order_acquire); }
    // Steady-clock time at which the last printer of the phase became ready; 0 before.
    std::int64_t all_ready_ns(int phase) const { return all_ready_ns_[phase].load(std::memory_order_acquire); }
    // The plug-in announces each reconnection attempt with a report of
    // machine_state 1: the first of a phase marks the liveness pass that
    // began reconnecting, and the most any printer needed tells how many
    // passes it took.
    std::int64_t first_attempt_ns(int phase) const { return first_attempt_ns_[phase].load(std::memory_order_acquire); }
    int most_attempts(int phase) const;

    // Frames are told apart by the send stamp the simulator puts in every
    // status frame: the plug-in reports once per element of the frame, and
    // only the first of those reports carries a new stamp.
    std::uint64_t frames() const { return frames_.load(std::memory_order_relaxed); }
    // Every report of a printer gone offline, and of a reconnection attempt,
    // over the whole run: a farm without faults should show neither.
    std::uint64_t offline_reports() const { return offline_reports_.load(std::memory_order_relaxed); }
    std::uint64_t attempt_reports() const { return attempt_reports_.load(std::memory_order_relaxed); }
    std::uint64_t reports() const { return reports_.load(std::memory_order_relaxed); }
    std::uint64_t unknown_ids() const { return unknown_ids_.load(std::memory_order_relaxed); }

    struct Sample {
        double sent;      // the simulator's stamp, seconds since the epoch
        double received;  // wall clock in the callback
        int printer;
    };
    void start_sampling() { sampling_.store(true, std::memory_order_release); }
    void stop_sampling() { sampling_.store(false, std::memory_order_release); }
    // The first report of every frame while sampling, in arrival order.
    std::vector<Sample> samples() const;
    std::uint64_t samples_lost() const { return samples_lost_.load(std::memory_order_relaxed); }

private:
    static constexpr int kPhases = 4;
    int index_of(const std::string& device_id) const;

    const int printers_;
    std::atomic<int> phase_{0};
    std::unique_ptr<double[]> last_stamp_;                 // network thread only
    std::unique_ptr<std::atomic<int>[]> down_phase_;
    std::unique_ptr<std::atomic<int>[]> ready_phase_;
    std::unique_ptr<std::atomic<int>[]> attempt_phase_;
    std::unique_ptr<std::atomic<int>[]> attempts_;
    std::atomic<int> ready_count_[kPhases] = {};
    std::atomic<int> down_count_[kPhases] = {};
    std::atomic<std::int64_t> all_ready_ns_[kPhases] = {};
    std::atomic<std::int64_t> first_attempt_ns_[kPhases] = {};

    std::atomic<std::uint64_t> frames_{0};
    std::atomic<std::uint64_t> reports_{0};
    std::atomic<std::uint64_t> unknown_ids_{0};
    std::atomic<std::uint64_t> offline_reports_{0};
    std::atomic<std::uint64_t> attempt_reports_{0};

    std::atomic<bool> sampling_{false};
    const std::size_t sample_capacity_;
    std::unique_ptr<Sample[]> samples_;
    // Published with release after the sample is written, so the reader
    // never sees a slot that is still being filled.
    std::atomic<std::size_t> sample_count_{0};
    std::atomic<std::uint64_t> samples_lost_{0};
};

}  // namespace farm
