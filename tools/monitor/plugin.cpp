// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "plugin.h"

#include <dlfcn.h>

#include <string>
#include <vector>

namespace monitor {
namespace {

template <typename Fn>
void resolve(void* library, const char* name, Fn& slot, std::vector<std::string>& missing) {
    dlerror();
    void* symbol = dlsym(library, name);
    if (!symbol) {
        missing.emplace_back(name);
        return;
    }
    slot = reinterpret_cast<Fn>(symbol);
}

}  // namespace

PluginApi load_plugin(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        throw PluginError("cannot load the plug-in: " + std::string(why ? why : path));
    }
    PluginApi api;
    std::vector<std::string> missing;
#define PEMRA_MONITOR_EXPORT(name) resolve(library, #name, api.name, missing);
#include "plugin_exports.inc"
#undef PEMRA_MONITOR_EXPORT
    if (!missing.empty()) {
        dlclose(library);
        std::string message = "the plug-in " + path + " lacks the export " + missing.front();
        if (missing.size() > 1) message += " (and " + std::to_string(missing.size() - 1) + " more)";
        throw PluginError(message);
    }
    return api;
}

}  // namespace monitor
