// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The WebSocket server type every simulated printer listens with: plain TCP,
// Asio transport, on an io_context the printer does not own.

#include <websocketpp/config/asio_no_tls.hpp>
#include <websocketpp/server.hpp>

namespace printer_sim::detail {

using WsServer = websocketpp::server<websocketpp::config::asio>;
using ConnectionHdl = websocketpp::connection_hdl;

}  // namespace printer_sim::detail
