// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include "options.h"
#include "output.h"
#include "plugin.h"

namespace monitor {

// Watches the printers (and the demo's) until Ctrl-C, SIGTERM, --duration or
// a closed output; returns the exit code.
int run_watch(const Options& options, const PluginApi& api, Output& out);

}  // namespace monitor
