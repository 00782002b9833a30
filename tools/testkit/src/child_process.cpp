// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "testkit/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace testkit {
namespace {

using Clock = std::chrono::steady_clock;

int ms_until(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(left < 0 ? 0 : left);
}

void check(int rc, const char* what) {
    if (rc != 0) throw std::runtime_error(std::string(what) + ": " + std::strerror(rc == -1 ? errno : rc));
}

// Both ends close on exec; the child's end is moved to its number there.
struct Channel {
    int parent = -1;
    int child = -1;
};

Channel open_channel(ChildOutput how) {
    Channel c;
    if (how == ChildOutput::terminal) {
        winsize size{};
        size.ws_col = 160;
        size.ws_row = 40;
        check(openpty(&c.parent, &c.child, nullptr, nullptr, &size), "openpty");
        fcntl(c.parent, F_SETFD, FD_CLOEXEC);
        fcntl(c.child, F_SETFD, FD_CLOEXEC);
    } else if (how == ChildOutput::capture) {
        int fds[2];
        check(pipe2(fds, O_CLOEXEC), "pipe");
        c.parent = fds[0];
        c.child = fds[1];
    } else if (how == ChildOutput::discard) {
        c.child = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (c.child < 0) check(-1, "open /dev/null");
    }
    return c;
}

// Between fork and exec: async-signal-safe calls only (the parent may run
// threads). Exits 127 when anything fails.
[[noreturn]] void become_child(char* const* argv, const ChildOptions& options, pid_t parent, int in_fd,
                               const Channel& out, const Channel& err) {
    if (options.die_with_parent) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
    }
    if (options.cpu >= 0) {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(options.cpu, &set);
        if (sched_setaffinity(0, sizeof set, &set) != 0) _exit(126);
    }
    if (dup2(in_fd, 0) < 0) _exit(127);
    if (out.child >= 0 && dup2(out.child, 1) < 0) _exit(127);
    if (err.child >= 0 && dup2(err.child, 2) < 0) _exit(127);
    for (int fd : options.keep_fds) {
        const int flags = fcntl(fd, F_GETFD);
        if (flags < 0 || fcntl(fd, F_SETFD, flags & ~FD_CLOEXEC) < 0) _exit(127);
    }
    execve(argv[0], argv, environ);
    _exit(127);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options) {
    if (argv.empty()) throw std::invalid_argument("no program to start");
    const Channel out = open_channel(options.stdout_to);
    const Channel err = open_channel(options.stderr_to == ChildOutput::terminal ? ChildOutput::capture : options.stderr_to);
    const int in_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    std::vector<std::string> args = argv;
    std::vector<char*> pointers;
    for (auto& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);

    const pid_t parent = getpid();
    pid_ = in_fd < 0 ? -1 : fork();
    if (pid_ == 0) become_child(pointers.data(), options, parent, in_fd, out, err);
    const int fork_errno = errno;
    for (int fd : {in_fd, out.child, err.child}) {
        if (fd >= 0) close(fd);
    }
    out_fd_ = out.parent;
    err_fd_ = err.parent;
    if (pid_ < 0) {
        if (out_fd_ >= 0) close(out_fd_);
        if (err_fd_ >= 0) close(err_fd_);
        out_fd_ = err_fd_ = -1;
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(fork_errno));
    }
}

ChildProcess::~ChildProcess() {
    kill_and_reap();
    if (out_fd_ >= 0) close(out_fd_);
    if (err_fd_ >= 0) close(err_fd_);
}

bool ChildProcess::reap(int options) {
    if (reaped_) return true;
    int status = 0;
    pid_t done;
    while ((done = waitpid(pid_, &status, options)) < 0 && errno == EINTR) {
    }
    if (done != pid_) return false;
    reaped_ = true;
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

void ChildProcess::kill_and_reap() {
    if (reaped_ || pid_ <= 0) return;
    kill(pid_, SIGKILL);
    reap(0);
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
    while (!reap(WNOHANG)) {
        if (Clock::now() >= deadline) {
            kill_and_reap();
            return std::nullopt;
        }
        poll(nullptr, 0, 5);
    }
    return exit_code_;
}

bool ChildProcess::running() { return !reap(WNOHANG); }

void ChildProcess::send_signal(int signal_number) {
    if (!reaped_ && pid_ > 0) kill(pid_, signal_number);
}

std::optional<int> ChildProcess::terminate() {
    send_signal(SIGTERM);
    while (output_open()) pump(-1);
    reap(0);
    return exit_code_;
}

}  // namespace testkit
