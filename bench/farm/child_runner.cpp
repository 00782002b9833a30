// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "child_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace farm {

std::optional<FarmResult> run_in_child(const Options& options, int printers) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    // The writing end stays open across exec: the child's figures come back
    // through it.
    const int write_fd = fcntl(fds[1], F_DUPFD, 3);
    close(fds[1]);
    if (write_fd < 0) {
        close(fds[0]);
        return std::nullopt;
    }

    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        close(fds[0]);
        close(write_fd);
        return std::nullopt;
    }
    self[length] = '\0';
    std::vector<std::string> args = {self};
    for (auto& arg : child_arguments(options, printers, write_fd)) args.push_back(std::move(arg));
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ);
    close(write_fd);
    if (spawned != 0) {
        close(fds[0]);
        std::fprintf(stderr, "pemra-farm-bench: cannot start a measuring process\n");
        return std::nullopt;
    }

    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) {
        std::fprintf(stderr, "pemra-farm-bench: the run with %d printers failed (%s %d)\n", printers,
                     WIFSIGNALED(status) ? "signal" : "exit status",
                     WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
        return std::nullopt;
    }
    return deserialise(text);
}

}  // namespace farm
