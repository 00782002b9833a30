// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One TCP connection served by a RawStream instead of the WebSocket server:
// the client's upgrade request is read (at most kMaxRequest bytes), the
// stream is written chunk by chunk, then the printer stops sending and reads
// whatever the client still says until the client closes. The client's close
// frame, if it sent one, is recorded as a client close.
//
// Lives on the printer's io thread. Its owner holds it until it ends, when
// `on_end` tells the owner to let go (the session's own pending operations
// keep it alive until they are done).

#include <array>
#include <cstddef>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <boost/asio/ip/tcp.hpp>

#include "printer_sim/faults.h"
#include "recorder.h"

namespace printer_sim::detail {

class RawSession : public std::enable_shared_from_this<RawSession> {
public:
    static constexpr std::size_t kMaxRequest = 16 * 1024;

    RawSession(boost::asio::ip::tcp::socket socket, RawStream script, std::string server_header,
               std::shared_ptr<Recorder> recorder, std::function<void(RawSession*)> on_end);
    RawSession(const RawSession&) = delete;
    RawSession& operator=(const RawSession&) = delete;

    void start();
    // The printer stops: the connection is closed and the session ends
    // without counting as ended by the client (nor calling on_end).
    void close();

    // Sec-WebSocket-Accept for a request's Sec-WebSocket-Key.
    static std::string accept_value(std::string_view key);
    // The Sec-WebSocket-Key of an HTTP request (empty when it has none).
    static std::string request_key(std::string_view request);
    // The first close frame among the frames a client sent: its code (1005
    // when it has none) and reason; 1006 when there is none.
    static ClientClose client_close(std::string_view heard);

private:
    void on_request(const boost::system::error_code& ec);
    void write_next();
    void stop_sending();
    void drain();

    boost::asio::ip::tcp::socket socket_;
    RawStream script_;
    const std::string server_header_;
    const std::shared_ptr<Recorder> recorder_;
    std::function<void(RawSession*)> on_end_;
    std::string request_;
    std::size_t next_chunk_ = 0;
    bool closed_ = false;
    std::array<char, 4096> sink_{};
    // What the client sent after its request, as far as kMaxHeard.
    static constexpr std::size_t kMaxHeard = 64 * 1024;
    std::string heard_;
};

}  // namespace printer_sim::detail
