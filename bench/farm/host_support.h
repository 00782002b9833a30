// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// What a program that loads the plug-in as a host needs around its agent.

#include <string>

#include "testkit/plugin_library.h"

namespace farm {

// Destroys the agent on every way out, so that no plug-in thread outlives
// the objects its callback uses.
class AgentGuard {
public:
    AgentGuard(const testkit::PluginApi& plugin, void* agent) : plugin_(plugin), agent_(agent) {}
    ~AgentGuard() { destroy(); }
    AgentGuard(const AgentGuard&) = delete;
    AgentGuard& operator=(const AgentGuard&) = delete;
    void* get() const { return agent_; }
    void destroy() {
        if (agent_) plugin_.pemra_network_destroy_agent(agent_);
        agent_ = nullptr;
    }

private:
    const testkit::PluginApi& plugin_;
    void* agent_;
};

// A new folder under the system's temporary folder, named after `program`
// (for the plug-in's log and the simulator's ports file). Throws
// std::runtime_error.
std::string make_work_dir(const std::string& program);

}  // namespace farm
