// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "plugin_host.h"

#include <dlfcn.h>

#include <stdexcept>

namespace farm {
namespace {

template <typename Fn>
Fn* find(void* handle, const char* name) {
    void* symbol = dlsym(handle, name);
    if (!symbol) throw std::runtime_error(std::string("the plug-in lacks the export ") + name);
    return reinterpret_cast<Fn*>(symbol);
}

void* open_library(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) throw std::runtime_error(std::string("cannot load the plug-in: ") + dlerror());
    return handle;
}

}  // namespace

#define FARM_FIND(name) find<decltype(name)>(handle_, #name)

PluginHost::PluginHost(const std::string& path)
    : create_agent(nullptr),
      destroy_agent(nullptr),
      start(nullptr),
      connect_printer(nullptr),
      set_machine_status_changed_fn(nullptr),
      get_version(nullptr),
      handle_(open_library(path)) {
    create_agent = FARM_FIND(pemra_network_create_agent);
    destroy_agent = FARM_FIND(pemra_network_destroy_agent);
    start = FARM_FIND(pemra_network_start);
    connect_printer = FARM_FIND(pemra_network_connect_printer);
    set_machine_status_changed_fn = FARM_FIND(pemra_set_machine_status_changed_fn);
    get_version = FARM_FIND(pemra_network_get_version);
}

#undef FARM_FIND

}  // namespace farm
