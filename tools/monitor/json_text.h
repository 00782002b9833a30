// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// How this program turns what the plug-in hands it into JSON text.

#include <chrono>
#include <string>

#include <nlohmann/json.hpp>

#include "event.h"
#include "pemra_network/machine_status.h"

namespace monitor {

// Members keep the order of their declaration, which is how a reader of
// machine_status.h expects to find them.
using Json = nlohmann::ordered_json;

// Every member of the record: nested groups as objects, arrays as arrays.
Json status_to_json(const MachineStatus& status);
// A printer's reply as JSON when it parses, else the text as a JSON string.
Json reply_payload(const std::string& text);
// Never throws on text from a printer that is not valid UTF-8: such bytes
// are shown as U+FFFD. indent < 0: one line.
std::string dump(const Json& value, int indent = -1);
// "2026-01-01T12:00:00.123Z"
std::string utc_time(std::chrono::system_clock::time_point time);
// One line, ending in "\n": {"event":..., "device_id":..., "time":..., payload}.
std::string event_json_line(const Event& event);

}  // namespace monitor
