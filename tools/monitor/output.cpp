// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "output.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "options.h"

namespace monitor {
namespace {

bool locale_is_utf8() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            const std::string v(value);
            return v.find("UTF-8") != std::string::npos || v.find("utf8") != std::string::npos ||
                   v.find("UTF8") != std::string::npos || v.find("utf-8") != std::string::npos;
        }
    }
    return false;
}

}  // namespace

Output::Output(const std::string& plugin_stdout) {
    std::fflush(stdout);
    fd_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd_ < 0) throw std::runtime_error(std::string("cannot duplicate standard output: ") + std::strerror(errno));
    out_ = fdopen(fd_, "w");
    if (!out_) throw std::runtime_error(std::string("cannot open standard output: ") + std::strerror(errno));
    terminal_ = isatty(fd_) == 1;
    colours_ = terminal_ && !std::getenv("NO_COLOR");
    utf8_ = locale_is_utf8();

    const char* sink = plugin_stdout.empty() ? "/dev/null" : plugin_stdout.c_str();
    const int flags = O_WRONLY | O_CLOEXEC | (plugin_stdout.empty() ? 0 : O_CREAT | O_APPEND);
    const int sink_fd = open(sink, flags, 0644);
    if (sink_fd < 0) {
        const std::string why = std::string("cannot open ") + sink + ": " + std::strerror(errno);
        // A file the user named is bad input; /dev/null missing is this
        // program's trouble, not theirs.
        if (!plugin_stdout.empty()) throw UsageError("--plugin-stdout: " + why);
        throw std::runtime_error(why);
    }
    dup2(sink_fd, STDOUT_FILENO);
    close(sink_fd);
}

Output::~Output() {
    if (out_) std::fclose(out_);
}

int Output::width() const {
    winsize size{};
    if (terminal_ && ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

int Output::height() const {
    winsize size{};
    if (terminal_ && ioctl(fd_, TIOCGWINSZ, &size) == 0) return size.ws_row;
    return 0;
}

bool Output::write(const std::string& text) {
    if (broken_) return false;
    if (std::fwrite(text.data(), 1, text.size(), out_) != text.size() || std::fflush(out_) != 0) {
        broken_ = true;
        std::clearerr(out_);
    }
    return !broken_;
}

}  // namespace monitor
