// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include "options.h"
#include "output.h"
#include "plugin.h"

namespace monitor {

// print, pause, resume, cancel, estop, gcode on every printer named at
// once: a result line (or JSON object) per printer as each ends, and the
// exit code: 0 when all succeeded, else the highest of the failures'.
// Ctrl-C ends it at once (130); no request goes out after it.
int run_control(const Options& options, const PluginApi& api, Output& out);

}  // namespace monitor
