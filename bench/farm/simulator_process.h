// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The simulated printers run in a process of their own, so that their CPU
// and memory are not charged to the host being measured.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "testkit/child_process.h"

namespace farm {

struct SimulatorSettings {
    std::string program;
    int count = 0;
    // Empty: the system chooses every printer's port. Else one printer on
    // each, to bring a farm back where an earlier simulator served it.
    std::vector<int> ports;
    std::string printing;  // a count or a share such as "25%"
    std::string ports_file;
    std::vector<std::string> extra_args;
    int cpu = -1;  // pinned to this CPU when not negative
};

class SimulatorProcess {
public:
    // Starts the simulator; it dies with the benchmark if the benchmark dies.
    explicit SimulatorProcess(const SimulatorSettings& settings);
    // Sends SIGTERM and reaps it if still running.
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Waits until every printer listens (the simulator then writes its ports
    // file). False on timeout or when the simulator exited first.
    bool wait_listening(std::chrono::milliseconds timeout);
    // SIGTERM, then wait for the exit: every printer closes its connections.
    void stop();

    pid_t pid() const { return child_ ? child_->pid() : -1; }
    const std::vector<std::string>& addresses() const { return addresses_; }

private:
    SimulatorSettings settings_;
    std::unique_ptr<testkit::ChildProcess> child_;  // null once stopped
    std::vector<std::string> addresses_;
};

// Pins the calling process (and the threads it starts later) to one CPU.
bool pin_to_cpu(int cpu);

// The ports of "HOST:PORT" addresses, in order.
std::vector<int> ports_of(const std::vector<std::string>& addresses);

}  // namespace farm
