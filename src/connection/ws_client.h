// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The WebSocket client library, for the files that make WebSocket calls.

#include <cstddef>
#include <memory>
#include <type_traits>

#include <simdjson.h>
#include <websocketpp/client.hpp>
#include <websocketpp/config/asio_no_tls_client.hpp>

#include "connection/checked_response.h"
#include "connection/ws_fwd.h"

namespace pemra {

// The library's message manager, except that each message's buffer has room
// for the frame parser's padding after the payload: the parser then reads a
// frame where it was received instead of copying it first. (A message that
// grows past its first frame may lose the room; the parser copies those.)
template <typename Message>
class PaddedMessages : public std::enable_shared_from_this<PaddedMessages<Message>> {
public:
    using ptr = std::shared_ptr<PaddedMessages>;
    using weak_ptr = std::weak_ptr<PaddedMessages>;
    using message_ptr = typename Message::ptr;

    message_ptr get_message() { return std::make_shared<Message>(this->shared_from_this()); }
    message_ptr get_message(websocketpp::frame::opcode::value op, std::size_t size) {
        return std::make_shared<Message>(this->shared_from_this(), op, size + simdjson::SIMDJSON_PADDING);
    }
    bool recycle(Message*) { return false; }
};

struct WsConfig : websocketpp::config::asio_client {
    using type = WsConfig;
    using response_type = CheckedResponse;
    using message_type = websocketpp::message_buffer::message<PaddedMessages>;
    using con_msg_manager_type = PaddedMessages<message_type>;
    using endpoint_msg_manager_type = websocketpp::message_buffer::alloc::endpoint_msg_manager<con_msg_manager_type>;
};

using WsConnectionPtr = WsClient::connection_ptr;

static_assert(std::is_same_v<ConnectionHandle, websocketpp::connection_hdl>);
static_assert(std::is_same_v<MessagePtr, WsClient::message_ptr>);

}  // namespace pemra
