// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// A host that uses the same logging library as the plug-in, unloads the
// plug-in after destroying its agent, and goes on logging: nothing of the
// unloaded library may be left behind in the process-wide logging core.

#include <cstdio>
#include <exception>

#include <boost/log/trivial.hpp>

#include "testkit/plugin_library.h"
#include "testkit/scratch_dir.h"

int main() {
    try {
        testkit::PluginLibrary library(PEMRA_NETWORK_LIBRARY);
        const testkit::PluginApi& plugin = library.api();
        const testkit::ScratchDir log_dir("pemra-unload");
        void* agent = plugin.pemra_network_create_agent(log_dir.path(), 4);  // a log file sink now lives in the core
        plugin.pemra_network_start(agent);
        plugin.pemra_network_destroy_agent(agent);
        if (!library.close()) {
            std::fprintf(stderr, "FAIL: dlclose\n");
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "FAIL: %s\n", e.what());
        return 1;
    }
    BOOST_LOG_TRIVIAL(info) << "the host logs on after the plug-in is gone";
    std::puts("unloaded cleanly");
    return 0;
}
