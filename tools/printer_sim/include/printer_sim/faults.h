// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// How a printer misbehaves: plain data.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace printer_sim {

struct MethodFault {
    // Replies are sent this much later (other requests are answered meanwhile).
    std::chrono::milliseconds delay{0};
    // No reply at all; the request is still recorded and otherwise ignored.
    bool drop = false;
    // A non-zero code replaces the real reply by this JSON-RPC error (after
    // the delay); the request has no other effect.
    int error_code = 0;
    std::string error_message;
};

// What a printer sends on a connection in place of its WebSocket server: the
// bytes a broken or hostile network could deliver, in the pieces it delivers
// them (see Printer::raw_stream).
struct RawStream {
    enum class Reply {
        handshake,  // a correct 101 answer to the upgrade request, then the chunks
        scripted,   // the chunks are the whole answer, HTTP reply and all
    };
    Reply reply = Reply::handshake;
    // Written in order, one write each with no Nagle delay, so a client can
    // read the stream cut at the end of any chunk. Empty chunks are skipped.
    // kRawAcceptKey inside a chunk stands for the accept value of the
    // request's key (a placeholder cut by a chunk's end stays as it is).
    std::vector<std::string> chunks;
};

inline constexpr std::string_view kRawAcceptKey = "{accept}";

}  // namespace printer_sim
