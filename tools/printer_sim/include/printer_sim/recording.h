// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// What a simulated printer saw of its clients: plain data returned by copy.

#include <chrono>
#include <cstdint>
#include <string>

namespace printer_sim {

struct ReceivedFrame {
    std::chrono::steady_clock::time_point at;  // when the frame was read
    int connection = 0;                        // 1 for the printer's first connection, then 2, ...
    std::string text;
};

// A connection that ended after its handshake, as the printer saw it.
struct ClientClose {
    std::chrono::steady_clock::time_point at;
    int connection = 0;
    std::uint16_t code = 0;  // the client's close code; 1006 when it vanished without one
    std::string reason;
};

struct ConnectionCounters {
    std::uint64_t accepted = 0;        // TCP connections accepted (handshake finished or not)
    std::uint64_t held = 0;            // accepted while handshakes were held back
    std::uint64_t open = 0;            // WebSocket connections open right now
    std::uint64_t opened = 0;          // WebSocket handshakes completed in all
    std::uint64_t pings_received = 0;
    std::uint64_t pongs_sent = 0;
    std::uint64_t binary_frames_received = 0;
    std::uint64_t raw_sessions = 0;        // connections served by a raw stream
    std::uint64_t raw_sessions_ended = 0;  // of those, ended by the client (closed or reset)
};

}  // namespace printer_sim
