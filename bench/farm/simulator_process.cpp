// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "simulator_process.h"

#include <sched.h>

#include <cstdio>
#include <fstream>
#include <thread>

namespace farm {

SimulatorProcess::SimulatorProcess(const SimulatorSettings& settings) : settings_(settings) {
    std::remove(settings_.ports_file.c_str());
    std::vector<std::string> args = {settings_.program};
    if (settings_.ports.empty()) {
        args.insert(args.end(), {"--port", "0", "--count", std::to_string(settings_.count)});
    } else {
        std::string list;
        for (int port : settings_.ports) list += (list.empty() ? "" : ",") + std::to_string(port);
        args.insert(args.end(), {"--ports", list});
    }
    args.insert(args.end(), {"--printing", settings_.printing, "--stamp-send-time", "--ports-file",
                             settings_.ports_file, "--quiet"});
    args.insert(args.end(), settings_.extra_args.begin(), settings_.extra_args.end());
    testkit::ChildOptions how;
    how.stdout_to = testkit::ChildOutput::inherit;  // quiet but for its errors
    how.stderr_to = testkit::ChildOutput::inherit;
    // A simulator left behind would hold the ports.
    how.die_with_parent = true;
    how.cpu = settings_.cpu;
    child_ = std::make_unique<testkit::ChildProcess>(args, how);
}

SimulatorProcess::~SimulatorProcess() { stop(); }

bool SimulatorProcess::wait_listening(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!child_ || !child_->running()) return false;
        std::ifstream in(settings_.ports_file);
        if (in) {
            addresses_.clear();
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty()) addresses_.push_back(line);
            }
            return static_cast<int>(addresses_.size()) == settings_.count;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void SimulatorProcess::stop() {
    if (!child_) return;
    child_->terminate();
    child_.reset();
    std::remove(settings_.ports_file.c_str());
}

bool pin_to_cpu(int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

std::vector<int> ports_of(const std::vector<std::string>& addresses) {
    std::vector<int> ports;
    for (const auto& address : addresses) ports.push_back(std::stoi(address.substr(address.rfind(':') + 1)));
    return ports;
}

}  // namespace farm
