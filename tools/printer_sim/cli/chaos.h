// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Faults drawn at random for every printer of a farm, for long runs against
// a client: each printer meets one every `mean_interval` on average, of a
// random kind, for a random time. calm() ends them all.
//
// Threads: one thread of its own draws, applies and ends the faults; it is
// the only caller of the printers' fault controls. calm() and counts() may
// be called from any other thread.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "printer_sim/printer_group.h"

namespace printer_sim::cli {

enum class FaultKind {
    drop,              // sockets shut without a close frame
    server_restart,    // every client closed with 1001, refused for a while
    no_pongs,          // pings unanswered
    held_handshakes,   // connections dropped, new handshakes answered late
    refused,           // connections dropped, new ones refused
    stalled,           // connections dropped, new handshakes never answered
    error_replies,     // the host's requests answered with errors or not at all
    paused_status,     // no status frames
    silent,            // a hung server: nothing answered, nothing sent
    malformed_frames,  // not JSON, wrong types, nested too deep
    count
};
const char* fault_name(FaultKind kind);

struct ChaosSettings {
    std::chrono::milliseconds mean_interval{60000};
    std::chrono::milliseconds shortest{1000};  // how long a lasting fault lasts
    std::chrono::milliseconds longest{20000};
    std::uint64_t seed = 1;
};

class Chaos {
public:
    Chaos(PrinterGroup& group, ChaosSettings settings);
    ~Chaos();  // calms and joins
    Chaos(const Chaos&) = delete;
    Chaos& operator=(const Chaos&) = delete;

    // Ends every fault now and draws no more. Returns once every printer
    // behaves (each may still be listening again after a server restart).
    void calm();
    // Faults begun so far, by kind.
    std::array<std::uint64_t, static_cast<std::size_t>(FaultKind::count)> counts() const;
    std::string summary() const;  // "drop 12, server_restart 3, ..."

private:
    struct Active {
        FaultKind kind;
        std::chrono::steady_clock::time_point until;
    };
    void run();
    void begin(int printer, FaultKind kind);
    void end(int printer, FaultKind kind);

    PrinterGroup& group_;
    const ChaosSettings settings_;
    // The chaos thread's own: which printer has which lasting fault
    // (FaultKind::count: none).
    std::vector<Active> active_;

    mutable std::mutex mutex_;  // guards the members below
    std::condition_variable changed_;
    bool calm_wanted_ = false;
    bool calm_ = false;
    std::array<std::uint64_t, static_cast<std::size_t>(FaultKind::count)> counts_{};
    std::thread thread_;  // last: starts once everything above is set up
};

}  // namespace printer_sim::cli
