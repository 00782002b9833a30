// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// How a printer misanswers one JSON-RPC method. Plain data.

#include <chrono>
#include <string>

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

}  // namespace printer_sim
