// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One thing the plug-in told us, copied out of its callback.

#include <chrono>
#include <string>

#include "pemra_network/machine_status.h"

namespace monitor {

enum class EventKind { status, file_list, file_meta, history, error, file_changed, history_changed };

struct Event {
    EventKind kind = EventKind::status;
    std::string device_id;
    std::string text;      // every kind but status
    MachineStatus status;  // status only
    std::chrono::system_clock::time_point time;
};

// The name scripts see in the "event" member.
const char* event_name(EventKind kind);

}  // namespace monitor
