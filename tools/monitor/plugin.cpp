// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "plugin.h"

namespace monitor {

PluginApi load_plugin(const std::string& path) {
    try {
        return testkit::PluginLibrary(path).api();
    } catch (const testkit::PluginLoadError& e) {
        throw PluginError(e.what());
    }
}

}  // namespace monitor
