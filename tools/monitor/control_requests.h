// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The JSON-RPC texts of the print control commands, sent raw through the
// plug-in. Names and scripts are put in as JSON strings, so quotes, spaces,
// newlines and non-ASCII characters reach the printer as given.

#include <cstdint>
#include <string>

#include "options.h"

namespace monitor {

// The plug-in routes a reply by its id, and a reply carrying the id of one
// of its history pages reaches the host's history callback. That is the
// only way a host sees a script's "ok": a command sends no history request
// of its own, so a history reply during one is the script's.
inline constexpr std::int32_t kScriptReplyId = 7;

// The request of a control command; id 0 (errors come back as notices)
// except for gcode, whose reply is wanted.
std::string control_request(Command command, const std::string& file, const std::string& script);

}  // namespace monitor
