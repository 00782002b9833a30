// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "plugin.h"

#ifndef PEMRA_MONITOR_PLUGIN_PATH
#error "PEMRA_MONITOR_PLUGIN_PATH must name the plug-in built with this program"
#endif
#ifndef PEMRA_MONITOR_PLUGIN_NAME
#error "PEMRA_MONITOR_PLUGIN_NAME must give the plug-in's file name"
#endif
#ifndef PEMRA_MONITOR_INSTALLED_PLUGIN_DIR
#error "PEMRA_MONITOR_INSTALLED_PLUGIN_DIR must give the installed plug-in's folder relative to the program's"
#endif

namespace monitor {
namespace {

std::filesystem::path executable_dir() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

}  // namespace

std::string locate_plugin(const std::string& explicit_path) {
    // An explicit path is taken as given, so that dlopen's own error tells
    // the user what is wrong with it.
    if (!explicit_path.empty()) return explicit_path;

    // A copy beside the executable wins, so that the two can be moved
    // together out of the build tree. Then the installed layout (bin/ and
    // lib/...), found from the executable so that any prefix works, and
    // last the library this program was built with.
    std::vector<std::filesystem::path> candidates;
    if (const auto dir = executable_dir(); !dir.empty()) {
        candidates.push_back(dir / PEMRA_MONITOR_PLUGIN_NAME);
        candidates.push_back((dir / PEMRA_MONITOR_INSTALLED_PLUGIN_DIR / PEMRA_MONITOR_PLUGIN_NAME).lexically_normal());
    }
    candidates.emplace_back(PEMRA_MONITOR_PLUGIN_PATH);
    std::string looked;
    for (const auto& candidate : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate.string();
        looked += (looked.empty() ? "" : ", ") + candidate.string();
    }
    throw PluginError("cannot find the plug-in (looked at " + looked + "); give its path with --plugin PATH");
}

}  // namespace monitor
