// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The exception firewall of every handler and loop body on the agent's
// threads: nothing a printer sends and nothing a host callback throws may
// unwind into the client library (which re-arms its read only after a
// handler returns) or end a thread.

#include <exception>
#include <string_view>

#include "base/log.h"

namespace pemra {

template <typename Body>
void run_guarded(std::string_view where, std::string_view device_id, Body&& body) noexcept {
    try {
        body();
    } catch (const std::exception& e) {
        log::error(where, " failed for ", device_id, ": ", e.what());
    } catch (...) {
        log::error(where, " failed for ", device_id, ": unknown exception");
    }
}

}  // namespace pemra
