// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Names of the WebSocket client types without the client library's headers,
// which only the few files that make WebSocket calls include (ws_client.h).

#include <memory>

namespace websocketpp {
template <typename config>
class client;
template <typename config>
class connection;
namespace message_buffer {
template <template <class> class con_msg_manager>
class message;
}  // namespace message_buffer
}  // namespace websocketpp

namespace pemra {

// The client library's configuration, with received messages padded for the
// frame parser (ws_client.h).
struct WsConfig;
template <typename Message>
class PaddedMessages;

// The client endpoint on which every printer connection is made.
using WsClient = websocketpp::client<WsConfig>;
// One WebSocket connection of that endpoint.
using WsConnectionPtr = std::shared_ptr<websocketpp::connection<WsConfig>>;
// A weak reference to one WebSocket connection of that endpoint.
using ConnectionHandle = std::weak_ptr<void>;
// One received data message.
using MessagePtr = std::shared_ptr<websocketpp::message_buffer::message<PaddedMessages>>;

}  // namespace pemra
