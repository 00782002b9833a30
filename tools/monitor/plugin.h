// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The plug-in as a host sees it: a library opened at run time whose functions
// are found by their plain names. The declarations of the public header give
// each pointer its type; the library itself is never linked.

#include <cstddef>
#include <stdexcept>
#include <string>

#include "pemra_network/pemra_network.h"

namespace monitor {

struct PluginApi {
#define PEMRA_MONITOR_EXPORT(name) decltype(&::name) name = nullptr;
#include "plugin_exports.inc"
#undef PEMRA_MONITOR_EXPORT
};

inline constexpr std::size_t kExportCount = 0
#define PEMRA_MONITOR_EXPORT(name) +1
#include "plugin_exports.inc"
#undef PEMRA_MONITOR_EXPORT
    ;
static_assert(kExportCount == 107, "the table must list every export of pemra_network.h");

class PluginError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens the library and resolves every export of the table. The library is
// never closed: it runs threads and keeps thread-local state, and a host
// keeps its plug-in until it exits. Throws PluginError naming the library's
// problem or the first export it lacks.
PluginApi load_plugin(const std::string& path);

// Where the plug-in is: `explicit_path` when given, else a copy next to this
// executable, else the library this program was built with. Throws
// PluginError when none of those exists.
std::string locate_plugin(const std::string& explicit_path);

}  // namespace monitor
