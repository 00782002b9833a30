// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The built plug-in loaded the way a host loads it, through the shared
// loader: dlopen, then every function looked up by its plain name, with the
// types of the public header.

#include <stdexcept>
#include <string>

#include "testkit/plugin_library.h"

namespace test_host {

class HostLibrary {
public:
    explicit HostLibrary(const char* path = PEMRA_NETWORK_LIBRARY) : library_(path) {}

    const testkit::PluginApi& api() const { return library_.api(); }

    // A symbol by name and type, for checks that go by the name alone.
    template <typename Fn>
    Fn* fn(const char* name) const {
        void* symbol = library_.symbol(name);
        if (!symbol) throw std::runtime_error(std::string("missing export ") + name);
        return reinterpret_cast<Fn*>(symbol);
    }

private:
    testkit::PluginLibrary library_;
};

// A function of the library by its name in the header.
#define HOST_FN(lib, name) ((lib).api().name)

}  // namespace test_host
