// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include "options.h"
#include "output.h"
#include "plugin.h"

namespace monitor {

// files, meta, history, delete, send: connect, wait until the printer is up,
// ask, wait for the answer, print it; returns the exit code.
int run_command(const Options& options, const PluginApi& api, Output& out);

// check: the plug-in loads, has every export, and an agent starts and stops.
int run_check(const Options& options, const std::string& plugin_path, const PluginApi& api, Output& out);

}  // namespace monitor
