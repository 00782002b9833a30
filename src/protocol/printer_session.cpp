// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/printer_session.h"

#include "base/log.h"
#include "status/status_readers.h"

namespace pemra::protocol {

void PrinterSession::apply_status_update(json_read::Element status_element, Uplink& uplink) {
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
    report_status(uplink);
}

void PrinterSession::apply_klippy_state(std::int32_t klippy_state, Uplink& uplink) {
    status.klippy_state = klippy_state;
    status::derive_states(status);
    report_status(uplink);
}

void PrinterSession::start_over() {
    refusal_told_ = false;
    identity_wanted_ = false;
}

}  // namespace pemra::protocol
