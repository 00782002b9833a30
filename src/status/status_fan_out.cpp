// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <nlohmann/json.hpp>

#include "base/log.h"
#include "connection/printer_connection.h"
#include "status/json_read.h"
#include "status/status_readers.h"

namespace pemra {

void PrinterConnection::apply_status_update(PrinterManager* agent, const nlohmann::json& status_element) {
    status_updates.fetch_add(1, std::memory_order_relaxed);
    try {
        status::apply_readers(status, status_element);
    } catch (const json_read::ReadError& e) {
        // The members read before the bad field keep their new values; the
        // host hears of them with the next good update.
        log::error("status update from ", id, " abandoned: ", e.what());
        return;
    }
    status::derive_states(status);
    report_status(agent);
}

}  // namespace pemra
