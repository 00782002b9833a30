// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The soak's machine-status callback and what it keeps: whether each
// printer is live, how many numbered status frames arrived and how many a
// printer sent that never arrived, and how long the network thread went
// without reporting anything.
//
// on_status runs on the plug-in's network thread only (every callback of an
// agent does); everything else reads atomics from the soak's main thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "pemra_network/machine_status.h"

namespace soak {

class FrameLedger {
public:
    explicit FrameLedger(int printers);

    static std::string device_id(int index);  // "p0", "p1", ...

    void on_status(const std::string& device_id, const MachineStatus& status);
    // The host disconnected the printer: it is not live, whatever it last
    // reported, and its next connection counts afresh.
    void mark_down(int index);

    std::uint64_t reports() const { return reports_.load(std::memory_order_relaxed); }
    std::uint64_t numbered_frames() const { return numbered_.load(std::memory_order_relaxed); }
    // Frames a printer numbered that never reached the host while the
    // connection they were sent on stayed live.
    std::uint64_t lost_frames() const { return lost_.load(std::memory_order_relaxed); }
    std::uint64_t out_of_order() const { return out_of_order_.load(std::memory_order_relaxed); }
    // Reports of a reconnection attempt (machine_state reconnecting).
    std::uint64_t attempts() const { return attempts_.load(std::memory_order_relaxed); }
    int live() const { return live_count_.load(std::memory_order_relaxed); }
    std::uint64_t unknown_ids() const { return unknown_ids_.load(std::memory_order_relaxed); }

    // The longest time between two reports while at least half of the
    // printers were live, since the last call; a farm that size reports
    // every fraction of a millisecond, so a long gap is the network thread
    // standing still.
    std::int64_t take_longest_gap_ns() { return longest_gap_ns_.exchange(0, std::memory_order_relaxed); }
    // How many printers are live and reported a numbered frame at or after
    // `since_ns` (steady clock).
    int fresh_since(std::int64_t since_ns) const;

private:
    int index_of(const std::string& device_id) const;

    const int printers_;
    // Network thread only: the last frame number seen on the printer's
    // current connection, 0 when none is known.
    std::unique_ptr<std::uint64_t[]> last_number_;
    std::unique_ptr<std::atomic<bool>[]> live_;
    std::unique_ptr<std::atomic<bool>[]> marked_down_;  // set by mark_down, taken by on_status
    std::unique_ptr<std::atomic<std::int64_t>[]> last_frame_ns_;
    std::int64_t last_report_ns_ = 0;  // network thread only

    std::atomic<int> live_count_{0};
    std::atomic<std::uint64_t> reports_{0};
    std::atomic<std::uint64_t> numbered_{0};
    std::atomic<std::uint64_t> lost_{0};
    std::atomic<std::uint64_t> out_of_order_{0};
    std::atomic<std::uint64_t> attempts_{0};
    std::atomic<std::uint64_t> unknown_ids_{0};
    std::atomic<std::int64_t> longest_gap_ns_{0};
};

}  // namespace soak
