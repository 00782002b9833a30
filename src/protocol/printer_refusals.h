// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Error replies that speak for the whole printer rather than for one
// request: its firmware is not running, or its API server does not let the
// plug-in in. Matched on the server's exact words.

#include <string_view>

namespace pemra::protocol {

// "Klippy Host not connected" or "Klippy Disconnected".
bool says_firmware_not_connected(std::string_view message);
// "Unauthorized".
bool says_unauthorized(std::string_view message);

}  // namespace pemra::protocol
