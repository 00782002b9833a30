// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// This program's own standard output.
//
// The plug-in writes progress traces straight to file descriptor 1 (some
// without a line end), which would corrupt the --json stream and the live
// view. So the real standard output is moved to a private descriptor that
// only this program writes to, and descriptor 1 is pointed at /dev/null (or
// at a file the user asked for). It has to happen before the plug-in is
// loaded, and everything this program prints goes through here; std::cout
// and printf would reach the plug-in's sink instead.

#include <cstdio>
#include <string>

namespace monitor {

class Output {
public:
    // Takes over standard output as described above. `plugin_stdout`: file
    // for the plug-in's traces, empty for /dev/null. Throws UsageError when
    // that file cannot be opened, std::runtime_error on other failures.
    explicit Output(const std::string& plugin_stdout);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    bool is_terminal() const { return terminal_; }
    // Terminal colours, unless NO_COLOR is set.
    bool colours() const { return colours_; }
    bool utf8() const { return utf8_; }
    // Terminal width in columns (80 when unknown).
    int width() const;
    // Terminal height in lines (0 when unknown).
    int height() const;

    // Writes and flushes at once, so that a reader of a pipe sees each line
    // when it happens. False once the reader has gone.
    bool write(const std::string& text);

private:
    std::FILE* out_ = nullptr;
    int fd_ = -1;
    bool terminal_ = false;
    bool colours_ = false;
    bool utf8_ = false;
    bool broken_ = false;
};

}  // namespace monitor
