// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "frame_feed.h"

#include "agent/printer_manager.h"
#include "connection/printer_connection.h"

namespace replay {

void feed(pemra::PrinterManager& agent, pemra::PrinterConnection& record, const std::string& frame) {
    record.session.handle_message(frame, agent.frame_parser(), agent);
}

}  // namespace replay
