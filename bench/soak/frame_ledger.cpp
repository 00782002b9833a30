// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "frame_ledger.h"

#include <charconv>

#include "process_stats.h"

namespace soak {
namespace {

void bump(std::atomic<std::uint64_t>& counter, std::uint64_t by = 1) {
    counter.store(counter.load(std::memory_order_relaxed) + by, std::memory_order_relaxed);
}

bool is_live(const MachineStatus& status) {
    return status.connect_state == pemra::connect_state::open && status.machine_state >= pemra::machine_state::idle;
}

}  // namespace

FrameLedger::FrameLedger(int printers)
    : printers_(printers),
      last_number_(new std::uint64_t[static_cast<std::size_t>(printers)]()),
      live_(new std::atomic<bool>[static_cast<std::size_t>(printers)]),
      marked_down_(new std::atomic<bool>[static_cast<std::size_t>(printers)]),
      last_frame_ns_(new std::atomic<std::int64_t>[static_cast<std::size_t>(printers)]) {
    for (int i = 0; i < printers; ++i) {
        live_[i].store(false);
        marked_down_[i].store(false);
        last_frame_ns_[i].store(0);
    }
}

std::string FrameLedger::device_id(int index) { return "p" + std::to_string(index); }

int FrameLedger::index_of(const std::string& device_id) const {
    if (device_id.size() < 2 || device_id[0] != 'p') return -1;
    int index = -1;
    const char* end = device_id.data() + device_id.size();
    const auto [at, error] = std::from_chars(device_id.data() + 1, end, index);
    if (error != std::errc() || at != end || index < 0 || index >= printers_) return -1;
    return index;
}

void FrameLedger::on_status(const std::string& device_id, const MachineStatus& status) {
    const std::int64_t now = farm::steady_ns();
    bump(reports_);
    if (last_report_ns_ != 0 && live_count_.load(std::memory_order_relaxed) * 2 >= printers_) {
        const std::int64_t gap = now - last_report_ns_;
        if (gap > longest_gap_ns_.load(std::memory_order_relaxed)) longest_gap_ns_.store(gap, std::memory_order_relaxed);
    }
    last_report_ns_ = now;

    const int i = index_of(device_id);
    if (i < 0) {
        bump(unknown_ids_);
        return;
    }
    const bool live = is_live(status);
    if (live_[i].exchange(live, std::memory_order_relaxed) != live) {
        live_count_.fetch_add(live ? 1 : -1, std::memory_order_relaxed);
    }
    if (status.machine_state == pemra::machine_state::reconnecting) bump(attempts_);

    // Only a live report continues the count: any break in the link shows
    // as a report that is not, and the frames lost with it are no fault.
    // A subscription's reply carries no number (its value is not negative)
    // and starts the count afresh too.
    const double value = status.toolhead.estimated_print_time;
    if (marked_down_[i].exchange(false, std::memory_order_relaxed) || !live || !(value < 0)) {
        last_number_[i] = 0;
        return;
    }
    const auto number = static_cast<std::uint64_t>(-value);
    const std::uint64_t last = last_number_[i];
    if (number == last) return;  // the same frame's next report, or a report of another frame kind
    bump(numbered_);
    last_frame_ns_[i].store(now, std::memory_order_relaxed);
    if (last != 0) {
        if (number > last + 1) bump(lost_, number - last - 1);
        if (number < last) bump(out_of_order_);
    }
    last_number_[i] = number;
}

void FrameLedger::mark_down(int index) {
    marked_down_[index].store(true, std::memory_order_relaxed);
    if (live_[index].exchange(false, std::memory_order_relaxed)) live_count_.fetch_sub(1, std::memory_order_relaxed);
}

int FrameLedger::fresh_since(std::int64_t since_ns) const {
    int fresh = 0;
    for (int i = 0; i < printers_; ++i) {
        if (live_[i].load(std::memory_order_relaxed) && last_frame_ns_[i].load(std::memory_order_relaxed) >= since_ns) {
            ++fresh;
        }
    }
    return fresh;
}

}  // namespace soak
