// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// A host that uses the same logging library as the plug-in, unloads the
// plug-in after destroying its agent, and goes on logging: nothing of the
// unloaded library may be left behind in the process-wide logging core.

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <boost/log/trivial.hpp>

#include "pemra_network/pemra_network.h"

int main() {
    void* library = dlopen(PEMRA_NETWORK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "FAIL: %s\n", dlerror());
        return 1;
    }
    auto create = reinterpret_cast<decltype(&pemra_network_create_agent)>(dlsym(library, "pemra_network_create_agent"));
    auto start = reinterpret_cast<decltype(&pemra_network_start)>(dlsym(library, "pemra_network_start"));
    auto destroy = reinterpret_cast<decltype(&pemra_network_destroy_agent)>(dlsym(library, "pemra_network_destroy_agent"));
    const std::string dir = std::string(P_tmpdir) + "/pemra_unload_" + std::to_string(getpid());
    void* agent = create(dir, 4);  // a log file sink now lives in the core
    start(agent);
    destroy(agent);
    if (dlclose(library) != 0) {
        std::fprintf(stderr, "FAIL: dlclose\n");
        return 1;
    }
    BOOST_LOG_TRIVIAL(info) << "the host logs on after the plug-in is gone";
    std::puts("unloaded cleanly");
    return 0;
}
