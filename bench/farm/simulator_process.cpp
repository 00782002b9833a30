// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "simulator_process.h"

#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <stdexcept>
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
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("cannot start the simulator: fork failed");
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec: the benchmark
        // has threads. A simulator left behind would hold the ports.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        if (settings_.cpu >= 0 && !pin_to_cpu(settings_.cpu)) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
}

SimulatorProcess::~SimulatorProcess() { stop(); }

bool SimulatorProcess::wait_listening(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
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
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
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
