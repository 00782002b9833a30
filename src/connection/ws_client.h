// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The WebSocket client library, for the files that make WebSocket calls.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>

#include <simdjson.h>
#include <websocketpp/client.hpp>
#include <websocketpp/concurrency/none.hpp>
#include <websocketpp/config/asio_no_tls_client.hpp>

#include "connection/address_resolver.h"
#include "connection/checked_response.h"
#include "connection/ws_fwd.h"

namespace pemra {

// The opcode of a received text message whose UTF-8 is not checked yet. No
// frame can carry it: the library refuses frames with reserved opcodes.
inline constexpr websocketpp::frame::opcode::value kUncheckedText = websocketpp::frame::opcode::rsv3;

// The library's message manager, with two changes for received messages.
//
// Each message's buffer has room for the frame parser's padding after the
// payload: the parser then reads a frame where it was received instead of
// copying it first. (A message that grows past its first frame may lose the
// room; the parser copies those.)
//
// A text message is marked kUncheckedText. The library checks the UTF-8 of a
// text message a byte at a time as it arrives, nearly a tenth of the network
// thread's time in a large farm; a marked one it passes on unchecked. The
// handler checks it whole, with the JSON library's vector code, and fails the
// link as the library would (fail_not_utf8).
//
// Every message asked for with an opcode is one being received, as long as
// the plug-in makes the messages it sends itself (text_message).
template <typename Message>
class PaddedMessages : public std::enable_shared_from_this<PaddedMessages<Message>> {
public:
    using ptr = std::shared_ptr<PaddedMessages>;
    using weak_ptr = std::weak_ptr<PaddedMessages>;
    using message_ptr = typename Message::ptr;

    message_ptr get_message() { return std::make_shared<Message>(this->shared_from_this()); }
    message_ptr get_message(websocketpp::frame::opcode::value op, std::size_t size) {
        if (op == websocketpp::frame::opcode::text) op = kUncheckedText;
        return std::make_shared<Message>(this->shared_from_this(), op, size + simdjson::SIMDJSON_PADDING);
    }
    bool recycle(Message*) { return false; }
};

// The library's transport, with one change: a connection whose addresses
// were found beforehand (AddressResolver) goes straight to them. The
// library's own resolver looks names up one at a time on one thread, and its
// timeout cancels every lookup pending, so one slow name would hold up every
// printer's connection.
template <typename Config>
class PreResolvedTransport : public websocketpp::transport::asio::endpoint<Config> {
    using base = websocketpp::transport::asio::endpoint<Config>;

public:
    using transport_con_ptr = typename base::transport_con_ptr;
    using timer_ptr = typename base::timer_ptr;

    // io_thread, right before client::connect: where that connection goes.
    void aim_next_connect(ResolvedTarget target) { next_target_ = std::move(target); }

    // The client's connect calls this one, not the library's: it names the
    // function through the configuration's transport type.
    void async_connect(transport_con_ptr tcon, websocketpp::uri_ptr uri, websocketpp::transport::connect_handler cb) {
        if (!next_target_) {
            base::async_connect(std::move(tcon), std::move(uri), std::move(cb));
            return;
        }
        ResolvedTarget target = std::move(*next_target_);
        next_target_.reset();
        tcon->set_uri(uri);
        if (target.error) {
            cb(target.error);  // fails the connection as a refused connect would
            return;
        }
        // As the library does after its own lookup: every address in turn,
        // all within the connect timeout.
        timer_ptr con_timer;
        con_timer = tcon->set_timer(Config::timeout_connect,
                                    websocketpp::lib::bind(&PreResolvedTransport::handle_connect_timeout, this, tcon,
                                                           con_timer, cb, websocketpp::lib::placeholders::_1));
        boost::asio::async_connect(
            tcon->get_raw_socket(), std::move(target.endpoints),
            [this, tcon, con_timer, cb](const boost::system::error_code& ec, const boost::asio::ip::tcp::endpoint&) {
                this->handle_connect(tcon, con_timer, cb, ec);
            });
    }

private:
    std::optional<ResolvedTarget> next_target_;
};

// Every call into the library is made on io_thread, or, for a connection not
// yet handed to it, before the task that connects it is posted there. So the
// library needs neither strands around its handlers nor locks in its
// connections and logs: both cost a mutex on every frame.
struct SingleThreadTransport : websocketpp::config::asio_client::transport_config {
    using concurrency_type = websocketpp::concurrency::none;
    using alog_type = websocketpp::log::basic<concurrency_type, websocketpp::log::alevel>;
    using elog_type = websocketpp::log::basic<concurrency_type, websocketpp::log::elevel>;
    static const bool enable_multithreading = false;
};

struct WsConfig : websocketpp::config::asio_client {
    using type = WsConfig;
    using concurrency_type = websocketpp::concurrency::none;
    using alog_type = SingleThreadTransport::alog_type;
    using elog_type = SingleThreadTransport::elog_type;
    using rng_type = websocketpp::random::random_device::int_generator<std::uint32_t, concurrency_type>;
    using response_type = CheckedResponse;
    using message_type = websocketpp::message_buffer::message<PaddedMessages>;
    using con_msg_manager_type = PaddedMessages<message_type>;
    using endpoint_msg_manager_type = websocketpp::message_buffer::alloc::endpoint_msg_manager<con_msg_manager_type>;
    using transport_type = PreResolvedTransport<SingleThreadTransport>;
};


// A text message to send. Made here, not by the connection's message manager,
// which marks the text messages it makes as received ones.
inline WsClient::message_ptr text_message(const std::string& payload) {
    auto message = std::make_shared<WsConfig::message_type>(nullptr, websocketpp::frame::opcode::text, payload.size());
    message->append_payload(payload);
    return message;
}

// Ends a connection that sent text which is not UTF-8, as the library does
// when it finds that itself: a close with 1007 and the library's reason, or
// the connection's end at once when no close can be sent.
inline void fail_not_utf8(WsConnectionPtr connection) {
    const std::error_code not_utf8 =
        websocketpp::processor::error::make_error_code(websocketpp::processor::error::invalid_utf8);
    std::error_code ec;
    connection->close(websocketpp::processor::error::to_ws(not_utf8), not_utf8.message(), ec);
    if (ec) connection->terminate(ec);
}

static_assert(std::is_same_v<ConnectionHandle, websocketpp::connection_hdl>);
static_assert(std::is_same_v<WsConnectionPtr, WsClient::connection_ptr>);
static_assert(std::is_same_v<MessagePtr, WsClient::message_ptr>);

}  // namespace pemra
