// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One printer's part in a print control command: wait until it is up, check
// that the command makes sense in its state, have the request sent, and
// watch its status until it shows the result, it refuses, it goes away or
// the time is up. It only decides; the caller sends and reports. Main
// thread only.

#include <chrono>
#include <string>

#include "event.h"
#include "options.h"

namespace monitor {

enum class Outcome { pending, done, unreachable, timeout, refused };

class ControlJob {
public:
    using Clock = std::chrono::steady_clock;

    // What the caller must do for this printer after an event.
    enum class Action { none, send_request, ask_file_list };

    ControlJob(const Options& options, PrinterTarget target, Clock::time_point now);

    Action on_event(const Event& event);
    // Ends the job when its current wait is over.
    void on_time(Clock::time_point now);
    // The caller has sent what on_event asked for.
    void sent(Action action, Clock::time_point now);

    const PrinterTarget& target() const { return target_; }
    Outcome outcome() const { return outcome_; }
    bool finished() const { return outcome_ != Outcome::pending; }
    // What happened, in words, for the result line.
    const std::string& message() const { return message_; }
    Clock::time_point deadline() const { return deadline_; }
    // Whether the request went out: a job that ended before never acted.
    bool requested() const { return phase_ == Phase::requested; }

private:
    enum class Phase { connecting, listing, requested };

    Action on_status(const MachineStatus& status);
    Action when_up(const MachineStatus& status);
    Action on_file_list(const std::string& reply);
    bool shows_result(const MachineStatus& status) const;
    void finish(Outcome outcome, std::string message);

    const Options& options_;
    const PrinterTarget target_;
    Phase phase_ = Phase::connecting;
    Outcome outcome_ = Outcome::pending;
    std::string message_;
    Clock::time_point deadline_;
    std::string trouble_;  // why a connected printer is not up yet
    std::string last_state_;  // the print state seen last, for a timeout's message
};

int exit_code_of(Outcome outcome);
const char* outcome_name(Outcome outcome);

}  // namespace monitor
