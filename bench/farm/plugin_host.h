// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The plug-in as a host sees it: a library opened at run time whose
// functions are found by their plain names, with the types the public header
// gives them. Only the exports the benchmark drives are looked up.

#include <string>

#include "pemra_network/pemra_network.h"

namespace farm {

class PluginHost {
public:
    // Throws std::runtime_error when the library or an export is missing.
    explicit PluginHost(const std::string& path);
    // The library stays loaded: a host keeps its plug-in until it exits.
    ~PluginHost() = default;
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    decltype(&pemra_network_create_agent) create_agent;
    decltype(&pemra_network_destroy_agent) destroy_agent;
    decltype(&pemra_network_start) start;
    decltype(&pemra_network_connect_printer) connect_printer;
    decltype(&pemra_set_machine_status_changed_fn) set_machine_status_changed_fn;
    decltype(&pemra_network_get_version) get_version;

private:
    void* handle_;
};

}  // namespace farm
