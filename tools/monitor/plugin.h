// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The plug-in as the monitor uses it: the shared loader's table of exports,
// and the monitor's own error for a plug-in it cannot use (exit status 5).

#include <stdexcept>
#include <string>

#include "testkit/plugin_library.h"

namespace monitor {

using PluginApi = testkit::PluginApi;
using testkit::kExportCount;

class PluginError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens the library and resolves every export. The library is never
// closed: a host keeps its plug-in until it exits. Throws PluginError naming
// the library's problem or the first export it lacks.
PluginApi load_plugin(const std::string& path);

// Where the plug-in is: `explicit_path` when given, else a copy next to this
// executable, else the library this program was built with. Throws
// PluginError when none of those exists.
std::string locate_plugin(const std::string& explicit_path);

}  // namespace monitor
