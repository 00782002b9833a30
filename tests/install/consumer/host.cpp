// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// pemra_host EXPORT_LIST AGENT_HOME
//
// Loads the plug-in from PEMRA_PLUGIN, resolves every name in EXPORT_LIST (one
// a line), then creates, starts and destroys an agent that logs under
// AGENT_HOME. Prints what it loaded; exits non-zero on the first failure.
#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include <pemra_network/pemra_network.h>

namespace {

int fail(const std::string& what) {
    std::cerr << "pemra_host: " << what << "\n";
    return 1;
}

template <typename Fn>
Fn* lookup(void* library, const char* name) {
    return reinterpret_cast<Fn*>(dlsym(library, name));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return fail("usage: pemra_host EXPORT_LIST AGENT_HOME");
    const std::filesystem::path agent_home = argv[2];

    void* library = dlopen(PEMRA_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (!library) return fail(std::string("dlopen: ") + dlerror());
    std::cout << "loaded " << PEMRA_PLUGIN << "\n";

    std::ifstream list(argv[1]);
    if (!list) return fail(std::string("cannot read ") + argv[1]);
    int resolved = 0;
    for (std::string name; std::getline(list, name);) {
        if (name.empty()) continue;
        if (!dlsym(library, name.c_str())) return fail("missing export " + name);
        ++resolved;
    }
    if (resolved == 0) return fail(std::string("no names in ") + argv[1]);
    std::cout << "resolved " << resolved << " exports\n";

    // Typed by the installed header, as a host does it.
    auto* create = lookup<decltype(pemra_network_create_agent)>(library, "pemra_network_create_agent");
    auto* start = lookup<decltype(pemra_network_start)>(library, "pemra_network_start");
    auto* destroy = lookup<decltype(pemra_network_destroy_agent)>(library, "pemra_network_destroy_agent");
    auto* version = lookup<decltype(pemra_network_get_version)>(library, "pemra_network_get_version");

    void* agent = create(agent_home.string(), 5);
    if (!agent) return fail("pemra_network_create_agent returned null");
    if (const int rc = start(agent); rc != 0) return fail("pemra_network_start returned " + std::to_string(rc));
    if (const int rc = destroy(agent); rc != 0) {
        return fail("pemra_network_destroy_agent returned " + std::to_string(rc));
    }
    std::cout << "agent started and stopped, plug-in version " << version() << "\n";

    // At the most detailed level (5) the agent logs its threads starting and
    // stopping, in a file under AGENT_HOME/log.
    std::error_code ec;
    if (std::filesystem::is_empty(agent_home / "log", ec) || ec) return fail("the agent wrote no log");
    // Kept loaded until exit, as a host keeps its plug-in.
    return 0;
}
