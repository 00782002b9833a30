// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/printer_session.h"

#include "status/status_readers.h"

namespace pemra::protocol {

void PrinterSession::apply_status_update(json_read::Element status_element, Uplink& uplink) {
    status_updates.fetch_add(1, std::memory_order_relaxed);
    // A field of the wrong type ends the frame (handle_message): the members
    // read before it keep their new values, and the host hears of them with
    // the next good update.
    reading_status_ = true;
    status::apply_readers(status, status_element);
    reading_status_ = false;
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
