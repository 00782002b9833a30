// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// A folder of one's own under $TMPDIR (or /tmp), for a test's or a
// benchmark's files: "<label>.XXXXXX" made by mkdtemp, so that processes
// started in the same second never share it (the plug-in names its log
// files by the second). Removed with its contents on destruction.

#include <string>

namespace testkit {

class ScratchDir {
public:
    // Throws std::runtime_error when the folder cannot be made.
    explicit ScratchDir(const std::string& label);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace testkit
