// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "host_support.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace farm {

std::string make_work_dir(const std::string& program) {
    std::string pattern = (std::filesystem::temp_directory_path() / (program + ".XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

}  // namespace farm
