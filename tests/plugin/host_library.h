// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The built plug-in loaded the way a host loads it: dlopen, then every
// function looked up by its plain name, with the types of the public header.

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "pemra_network/pemra_network.h"

namespace test_host {

class HostLibrary {
public:
    explicit HostLibrary(const char* path = PEMRA_NETWORK_LIBRARY) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        if (!handle_) throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
    }
    ~HostLibrary() {
        // Kept loaded: libraries with thread-local state are not unloaded
        // cleanly, and a host keeps its plug-in until it exits.
    }
    HostLibrary(const HostLibrary&) = delete;
    HostLibrary& operator=(const HostLibrary&) = delete;

    template <typename Fn>
    Fn* fn(const char* name) const {
        void* symbol = dlsym(handle_, name);
        if (!symbol) throw std::runtime_error(std::string("missing export ") + name);
        return reinterpret_cast<Fn*>(symbol);
    }

private:
    void* handle_;
};

// A function of the library by the name and type it has in the header.
#define HOST_FN(lib, name) (lib).fn<decltype(name)>(#name)

}  // namespace test_host
