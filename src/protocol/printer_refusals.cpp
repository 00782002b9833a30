// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/printer_refusals.h"

namespace pemra::protocol {

bool says_firmware_not_connected(std::string_view message) {
    // The first while the API server has no firmware connection at all, the
    // second when it lost the one it had.
    return message == "Klippy Host not connected" || message == "Klippy Disconnected";
}

bool says_unauthorized(std::string_view message) { return message == "Unauthorized"; }

}  // namespace pemra::protocol
