// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The printer's configuration as the configfile object reports it: "config"
// (every section of printer.cfg with its raw texts) and "settings" (the same
// after parsing, with the defaults Klipper fills in), tens of kilobytes as on
// a real machine. Stateless; any thread.

#include <string>

#include "printer_sim/options.h"

namespace printer_sim::detail {

struct ConfigTexts {
    std::string config;    // JSON object
    std::string settings;  // JSON object
};

ConfigTexts config_texts(Kinematics kinematics);

}  // namespace printer_sim::detail
