// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "testkit/plugin_library.h"

#include <dlfcn.h>

#include <vector>

namespace testkit {
namespace {

template <typename Fn>
void resolve(void* library, const char* name, Fn& slot, std::vector<std::string>& missing) {
    void* symbol = dlsym(library, name);
    if (!symbol) {
        missing.emplace_back(name);
        return;
    }
    slot = reinterpret_cast<Fn>(symbol);
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) {
        const char* why = dlerror();
        throw PluginLoadError("cannot load the plug-in: " + std::string(why ? why : path));
    }
    // Every name is looked up, as a host does at load time, so that a
    // library that is not a complete plug-in is refused before anything
    // runs rather than on the first call that needs a missing entry.
    std::vector<std::string> missing;
#define PEMRA_EXPORT(name) resolve(handle_, #name, api_.name, missing);
#include "testkit/plugin_exports.inc"
#undef PEMRA_EXPORT
    if (!missing.empty()) {
        dlclose(handle_);
        std::string message = "the plug-in " + path + " lacks the export " + missing.front();
        if (missing.size() > 1) message += " (and " + std::to_string(missing.size() - 1) + " more)";
        throw PluginLoadError(message);
    }
}

void* PluginLibrary::symbol(const char* name) const { return dlsym(handle_, name); }

bool PluginLibrary::close() {
    if (!handle_) return true;
    const bool closed = dlclose(handle_) == 0;
    handle_ = nullptr;
    api_ = PluginApi{};
    return closed;
}

}  // namespace testkit
