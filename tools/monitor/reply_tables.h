// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The replies of files and history as tables a person reads; --json keeps
// the printer's own text for scripts.

#include <optional>
#include <string>

#include "json_text.h"

namespace monitor {

// NAME, SIZE, MODIFIED, a line each, by name. Nothing when the reply is not
// a file listing (an error, say): the caller shows it as it is.
std::optional<std::string> files_table(const Json& reply);
// JOB, FILE, STATUS, DURATION, STARTED, in the order the printer gave.
std::optional<std::string> history_table(const Json& reply);

}  // namespace monitor
