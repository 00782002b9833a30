// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The plug-in as a host sees it: a library opened at run time whose
// functions are found by their plain names, each typed by its declaration in
// the public header. The table of exports is generated from that header, the
// same source as the library's export map, so it cannot drift from it.

#include <cstddef>
#include <stdexcept>
#include <string>

#include "pemra_network/pemra_network.h"

namespace testkit {

struct PluginApi {
#define PEMRA_EXPORT(name) decltype(&::name) name = nullptr;
#include "testkit/plugin_exports.inc"
#undef PEMRA_EXPORT
};

inline constexpr std::size_t kExportCount = 0
#define PEMRA_EXPORT(name) +1
#include "testkit/plugin_exports.inc"
#undef PEMRA_EXPORT
    ;

class PluginLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PluginLibrary {
public:
    // Opens the library (RTLD_NOW | RTLD_LOCAL) and resolves every export.
    // Throws PluginLoadError naming dlopen's complaint, or the first export
    // the library lacks and how many more are missing.
    explicit PluginLibrary(const std::string& path);
    // Leaves the library loaded: it runs threads and keeps thread-local
    // state, and a host keeps its plug-in until it exits. close() unloads.
    ~PluginLibrary() = default;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const PluginApi& api() const { return api_; }
    // Any symbol by name, for checks of the dynamic symbol table; null when absent.
    void* symbol(const char* name) const;
    // dlclose; false when it fails. The api must not be used afterwards.
    bool close();

private:
    void* handle_ = nullptr;
    PluginApi api_;
};

}  // namespace testkit
