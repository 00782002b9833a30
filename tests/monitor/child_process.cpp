// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

#include "testkit/scratch_dir.h"

extern char** environ;

#ifndef PEMRA_MONITOR_EXE
#error "PEMRA_MONITOR_EXE must name the built pemra-monitor"
#endif

namespace monitor_test {
namespace {

using Clock = std::chrono::steady_clock;

int ms_until(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(left < 0 ? 0 : left);
}

void check(int rc, const char* what) {
    if (rc != 0) throw std::runtime_error(std::string(what) + ": " + std::strerror(rc == -1 ? errno : rc));
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, StdoutOn stdout_on) {
    int out_pipe[2] = {-1, -1};
    int err_pipe[2];
    if (stdout_on == StdoutOn::terminal) {
        winsize size{};
        size.ws_col = 160;
        size.ws_row = 40;
        check(openpty(&out_pipe[0], &out_pipe[1], nullptr, nullptr, &size), "openpty");
        fcntl(out_pipe[0], F_SETFD, FD_CLOEXEC);
        fcntl(out_pipe[1], F_SETFD, FD_CLOEXEC);
    } else {
        check(pipe2(out_pipe, O_CLOEXEC), "pipe");
    }
    check(pipe2(err_pipe, O_CLOEXEC), "pipe");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);
    close(err_pipe[1]);
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
    if (rc != 0) {
        close(out_fd_);
        close(err_fd_);
        throw std::runtime_error(std::string("cannot start ") + argv[0] + ": " + std::strerror(rc));
    }
}

ChildProcess::~ChildProcess() {
    kill_and_reap();
    if (out_fd_ >= 0) close(out_fd_);
    if (err_fd_ >= 0) close(err_fd_);
}

void ChildProcess::kill_and_reap() {
    if (reaped_ || pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    exit_code_ = 128 + SIGKILL;
}

void ChildProcess::pump(int timeout_ms) {
    pollfd fds[2];
    int n = 0;
    if (out_fd_ >= 0) fds[n++] = {out_fd_, POLLIN, 0};
    if (err_fd_ >= 0) fds[n++] = {err_fd_, POLLIN, 0};
    if (n == 0) return;
    if (poll(fds, static_cast<nfds_t>(n), timeout_ms) <= 0) return;
    for (int i = 0; i < n; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buffer[65536];
        const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        const bool is_out = fds[i].fd == out_fd_;
        if (got > 0) {
            (is_out ? out_ : err_).append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            // A terminal's master reads EIO once the child's side is closed.
            close(fds[i].fd);
            (is_out ? out_fd_ : err_fd_) = -1;
        }
    }
}

bool ChildProcess::wait_for_stdout(const std::function<bool(const std::string&)>& pred,
                                   std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (pred(out_)) return true;
        if (Clock::now() >= deadline || !output_open()) return false;
        pump(ms_until(deadline));
    }
}

std::optional<int> ChildProcess::wait_exit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (output_open() && Clock::now() < deadline) pump(ms_until(deadline));
    while (!reaped_) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() >= deadline) {
            kill_and_reap();
            return std::nullopt;
        }
        poll(nullptr, 0, 5);
    }
    return exit_code_;
}

void ChildProcess::send_signal(int signal_number) {
    if (!reaped_ && pid_ > 0) kill(pid_, signal_number);
}

std::vector<std::string> monitor_command(const std::vector<std::string>& args) {
    // One folder per test process (each test runs in one): the plug-in's
    // log files are named by the second, and tests run side by side.
    static const testkit::ScratchDir log_dir("pemra-monitor-test");
    std::vector<std::string> argv{PEMRA_MONITOR_EXE, "--log-dir", log_dir.path()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

RunResult run_monitor(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    ChildProcess child(monitor_command(args));
    RunResult result;
    result.exit_code = child.wait_exit(timeout);
    result.out = child.out();
    result.err = child.err();
    return result;
}

}  // namespace monitor_test
