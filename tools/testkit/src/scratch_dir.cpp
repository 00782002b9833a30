// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "testkit/scratch_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace testkit {

ScratchDir::ScratchDir(const std::string& label) {
    std::error_code ec;
    std::filesystem::path parent = std::filesystem::temp_directory_path(ec);
    if (ec) parent = "/tmp";
    std::string pattern = (parent / (label + ".XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a folder like " + pattern + ": " + std::strerror(errno));
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace testkit
