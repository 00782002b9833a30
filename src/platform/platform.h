// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The only place where the library touches operating-system interfaces
// directly; everything else goes through the standard library and Boost.

#include <ctime>
#include <string>

#include <boost/filesystem/path.hpp>

namespace pemra::platform {

// Local calendar time of `t`.
std::tm local_time(std::time_t t);

// A path from UTF-8 text (Windows paths are wide; elsewhere bytes pass as is).
boost::filesystem::path path_from_utf8(const std::string& text);

// Names the calling thread for debuggers and profilers (best effort).
void set_current_thread_name(const char* name);

}  // namespace pemra::platform
