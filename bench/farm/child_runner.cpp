// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "child_runner.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "testkit/child_process.h"

namespace farm {
namespace {

std::string own_executable() {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return {};
    return std::string(self, static_cast<std::size_t>(length));
}

std::string read_all(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            return text;
        }
    }
}

}  // namespace

std::optional<FarmResult> run_in_child(const Options& options, int printers) {
    const std::string self = own_executable();
    int fds[2];
    if (self.empty() || pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    // The child's figures come back through the writing end, which it keeps
    // at the same number.
    std::vector<std::string> args = {self};
    for (auto& arg : child_arguments(options, printers, fds[1])) args.push_back(std::move(arg));
    testkit::ChildOptions how;
    how.stdout_to = testkit::ChildOutput::inherit;
    how.stderr_to = testkit::ChildOutput::inherit;
    how.keep_fds = {fds[1]};

    std::optional<int> status;
    std::string text;
    try {
        testkit::ChildProcess child(args, how);
        close(fds[1]);
        text = read_all(fds[0]);
        close(fds[0]);
        // Output and figures are in; the run itself may still be tearing down.
        status = child.wait_exit(std::chrono::hours(1));
    } catch (const std::exception& e) {
        close(fds[0]);
        close(fds[1]);
        std::fprintf(stderr, "pemra-farm-bench: cannot start a measuring process: %s\n", e.what());
        return std::nullopt;
    }
    if (status != 0 || text.empty()) {
        std::fprintf(stderr, "pemra-farm-bench: the run with %d printers failed (exit status %d)\n", printers,
                     status.value_or(-1));
        return std::nullopt;
    }
    return deserialise(text);
}

}  // namespace farm
