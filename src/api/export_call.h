// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// How a working export enters the agent: a null handle does nothing, the call
// is counted while it runs (destroy waits for it), and nothing it raises
// reaches the host.

#include "agent/printer_manager.h"
#include "base/exception_firewall.h"

namespace pemra::api {

template <typename Body>
int with_agent(void* handle, const char* export_name, Body&& body) {
    if (!handle) return 0;
    auto& agent = *static_cast<PrinterManager*>(handle);
    catch_and_log(
        [&] {
            PrinterManager::CallScope scope(agent);
            body(agent);
        },
        export_name, " failed: ");
    return 0;
}

}  // namespace pemra::api
