// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "raw_session.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include <boost/asio/buffer.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>
#include <websocketpp/base64/base64.hpp>
#include <websocketpp/sha1/sha1.hpp>

#include "printer_sim/raw_frames.h"

namespace printer_sim::detail {

namespace asio = boost::asio;

RawSession::RawSession(asio::ip::tcp::socket socket, RawStream script, std::string server_header,
                       std::shared_ptr<Recorder> recorder, std::function<void(RawSession*)> on_end)
    : socket_(std::move(socket)),
      script_(std::move(script)),
      server_header_(std::move(server_header)),
      recorder_(std::move(recorder)),
      on_end_(std::move(on_end)) {}

std::string RawSession::accept_value(std::string_view key) {
    std::string keyed(key);
    keyed.append("258EAFA5-E914-47DA-95CA-C5AB0DC85B11");
    unsigned char digest[20];
    websocketpp::sha1::calc(keyed.data(), keyed.size(), digest);
    return websocketpp::base64_encode(digest, sizeof digest);
}

std::string RawSession::request_key(std::string_view request) {
    std::string lower(request);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    constexpr std::string_view name = "\r\nsec-websocket-key:";
    const auto at = lower.find(name);
    if (at == std::string::npos) return {};
    const auto begin = request.find_first_not_of(" \t", at + name.size());
    if (begin == std::string_view::npos) return {};
    const auto end = request.find("\r\n", begin);
    std::string_view value = request.substr(begin, end == std::string_view::npos ? end : end - begin);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    return std::string(value);
}

ClientClose RawSession::client_close(std::string_view heard) {
    ClientClose close{std::chrono::steady_clock::now(), 0, 1006, {}};
    std::size_t used = 0;
    for (auto frame = raw::decode(heard, used); frame; frame = raw::decode(heard, used)) {
        heard.remove_prefix(used);
        if (frame->opcode != raw::opcode::close) continue;
        const std::string& payload = frame->payload;
        close.code = payload.size() >= 2 ? static_cast<std::uint16_t>(static_cast<std::uint8_t>(payload[0]) << 8 |
                                                                       static_cast<std::uint8_t>(payload[1]))
                                         : 1005;
        if (payload.size() > 2) close.reason = payload.substr(2);
        break;
    }
    return close;
}

void RawSession::start() {
    recorder_->note_raw_started();
    boost::system::error_code ignored;
    // Every chunk leaves in a segment of its own.
    socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    auto self = shared_from_this();
    asio::async_read_until(socket_, asio::dynamic_buffer(request_, kMaxRequest), "\r\n\r\n",
                           [self](const boost::system::error_code& ec, std::size_t) { self->on_request(ec); });
}

void RawSession::on_request(const boost::system::error_code& ec) {
    if (closed_) return;
    // A request longer than the bound is answered as far as it was read.
    if (ec && ec != asio::error::not_found) {
        drain();
        return;
    }
    // What the client sent after its request is the start of what it says.
    const auto header_end = request_.find("\r\n\r\n");
    if (header_end != std::string::npos) heard_.assign(request_, header_end + 4, kMaxHeard);
    const std::string accept = accept_value(request_key(request_));
    for (auto& chunk : script_.chunks) {
        for (auto at = chunk.find(kRawAcceptKey); at != std::string::npos;
             at = chunk.find(kRawAcceptKey, at + accept.size())) {
            chunk.replace(at, kRawAcceptKey.size(), accept);
        }
    }
    if (script_.reply == RawStream::Reply::handshake) {
        script_.chunks.insert(script_.chunks.begin(), raw::handshake_reply(accept, {"Server: " + server_header_}));
    }
    write_next();
}

void RawSession::write_next() {
    while (next_chunk_ < script_.chunks.size() && script_.chunks[next_chunk_].empty()) ++next_chunk_;
    if (next_chunk_ == script_.chunks.size()) {
        stop_sending();
        return;
    }
    auto self = shared_from_this();
    const std::string& chunk = script_.chunks[next_chunk_++];
    asio::async_write(socket_, asio::buffer(chunk), [self](const boost::system::error_code& ec, std::size_t) {
        if (self->closed_) return;
        if (ec) {
            // The client is gone or going; what it still has to say is read.
            self->drain();
            return;
        }
        self->write_next();
    });
}

void RawSession::stop_sending() {
    boost::system::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    drain();
}

void RawSession::drain() {
    auto self = shared_from_this();
    socket_.async_read_some(asio::buffer(sink_), [self](const boost::system::error_code& ec, std::size_t read) {
        if (self->closed_) return;
        if (!ec) {
            const std::size_t room = kMaxHeard - std::min(kMaxHeard, self->heard_.size());
            self->heard_.append(self->sink_.data(), std::min(read, room));
            self->drain();
            return;
        }
        // End of stream or a reset: the client has closed.
        self->closed_ = true;
        boost::system::error_code ignored;
        self->socket_.close(ignored);
        self->recorder_->note_client_close(client_close(self->heard_));
        self->recorder_->note_raw_ended();
        if (self->on_end_) std::exchange(self->on_end_, nullptr)(self.get());
    });
}

void RawSession::close() {
    if (closed_) return;
    closed_ = true;
    boost::system::error_code ignored;
    socket_.close(ignored);
}

}  // namespace printer_sim::detail
