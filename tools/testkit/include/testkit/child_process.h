// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// A program started by a test or a benchmark. Its output can be captured
// through pipes (standard output also on a pseudo-terminal), passed through
// or discarded. Every wait has a deadline, and the destructor kills and reaps
// a child that is still there, so a failing run never leaves a process
// behind or hangs on one.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testkit {

enum class ChildOutput { capture, terminal, inherit, discard };

struct ChildOptions {
    ChildOutput stdout_to = ChildOutput::capture;  // terminal: a pseudo-terminal, read like a pipe
    ChildOutput stderr_to = ChildOutput::capture;  // terminal is taken as capture
    // Descriptors of this process the child keeps, at the same numbers.
    std::vector<int> keep_fds;
    // SIGTERM when this process dies, so that nothing is left behind.
    bool die_with_parent = false;
    int cpu = -1;  // pinned to this CPU when not negative
};

class ChildProcess {
public:
    // Starts argv[0] (a path) with standard input from /dev/null. Throws
    // std::runtime_error when it cannot be started.
    explicit ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // Reads output until pred holds over standard output so far; false when
    // the timeout passes or the output ends first.
    bool wait_for_stdout(const std::function<bool(const std::string&)>& pred, std::chrono::milliseconds timeout);
    // Reads all output and reaps the child: its exit code (128 + signal when
    // killed by one), or nothing when it was still running at the deadline;
    // it is then killed.
    std::optional<int> wait_exit(std::chrono::milliseconds timeout);
    // Whether it is still running; reaps it when it is not.
    bool running();
    void send_signal(int signal_number);
    // SIGTERM, then waits for the exit however long it takes.
    std::optional<int> terminate();

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

private:
    // Waits up to timeout_ms for output and reads what there is.
    void pump(int timeout_ms);
    bool output_open() const { return out_fd_ >= 0 || err_fd_ >= 0; }
    bool reap(int options);
    void kill_and_reap();

    pid_t pid_ = -1;
    bool reaped_ = false;
    int exit_code_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::string out_;
    std::string err_;
};

}  // namespace testkit
