// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The raw stream fault: connections taken aside and served by a script of
// bytes instead of the WebSocket server.
#include <algorithm>
#include <utility>

#include "printer_core.h"
#include "raw_session.h"

namespace printer_sim::detail {

namespace asio = boost::asio;

void PrinterCore::raw_stream(std::optional<RawStream> script) {
    raw_ = std::move(script);
    apply_listener();
}

void PrinterCore::serve_raw(SocketPtr socket) {
    // The script as it is now; a later change serves later connections.
    if (!raw_) return;
    // Held here until it ends, so that the printer's stop can end it.
    std::weak_ptr<PrinterCore> core = shared_from_this();
    auto session = std::make_shared<RawSession>(std::move(*socket), *raw_, options_.server_header, recorder_,
                                                [core](RawSession* ended) {
                                                    if (auto c = core.lock()) c->forget_raw_session(ended);
                                                });
    raw_sessions_.push_back(session);
    session->start();
}

void PrinterCore::forget_raw_session(RawSession* ended) {
    raw_sessions_.erase(std::remove_if(raw_sessions_.begin(), raw_sessions_.end(),
                                       [ended](const auto& session) { return session.get() == ended; }),
                        raw_sessions_.end());
}

void PrinterCore::close_raw_sessions() {
    auto sessions = std::move(raw_sessions_);
    raw_sessions_.clear();
    for (auto& session : sessions) session->close();
}

}  // namespace printer_sim::detail
