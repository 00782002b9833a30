// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The exception firewall of every export, handler, loop body and host
// callback: whatever the body throws is written to the log as the context
// followed by the reason, and goes no further. Nothing a printer sends, a
// host callback does or a library raises may unwind into the host, into the
// client library (which re-arms its read only after a handler returns) or
// out of one of the plug-in's threads.

#include <exception>
#include <string_view>

#include "base/log.h"

namespace pemra {

// Runs the body; true when it returned normally.
template <typename Body, typename... Context>
bool catch_and_log(Body&& body, const Context&... context) noexcept {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        log::error(context..., e.what());
    } catch (...) {
        log::error(context..., "unknown exception");
    }
    return false;
}

// The usual form on the agent's threads: "<where> failed for <device>: <reason>".
template <typename Body>
void run_guarded(std::string_view where, std::string_view device_id, Body&& body) noexcept {
    catch_and_log(body, where, " failed for ", device_id, ": ");
}

}  // namespace pemra
