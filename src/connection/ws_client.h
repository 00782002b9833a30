// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The WebSocket client library, for the files that make WebSocket calls.

#include <type_traits>

#include <websocketpp/client.hpp>
#include <websocketpp/config/asio_no_tls_client.hpp>

#include "connection/ws_fwd.h"

namespace pemra {

using WsConnectionPtr = WsClient::connection_ptr;

static_assert(std::is_same_v<ConnectionHandle, websocketpp::connection_hdl>);
static_assert(std::is_same_v<MessagePtr, WsClient::message_ptr>);

}  // namespace pemra
