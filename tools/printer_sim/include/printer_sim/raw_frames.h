// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Bytes for a RawStream: WebSocket frames as a server would write them, and
// every way of getting them wrong (masked, reserved bits and opcodes, a
// length the data never reaches), plus the HTTP answers to an upgrade; and
// the reading of the frames a client sends back.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "printer_sim/faults.h"

namespace printer_sim::raw {

namespace opcode {
constexpr std::uint8_t continuation = 0x0;
constexpr std::uint8_t text = 0x1;
constexpr std::uint8_t binary = 0x2;
constexpr std::uint8_t close = 0x8;
constexpr std::uint8_t ping = 0x9;
constexpr std::uint8_t pong = 0xA;
}  // namespace opcode

// One frame, field by field. The defaults make a well-formed final text
// frame from a server.
struct Frame {
    bool fin = true;
    std::uint8_t rsv = 0;              // the three reserved bits, 0 to 7
    std::uint8_t opcode = opcode::text;  // any four-bit value, reserved ones too
    std::string payload;
    // A server never masks; set, the payload is masked with this key.
    std::optional<std::array<std::uint8_t, 4>> mask;
    // The length the header claims, when it is not the payload's own.
    std::optional<std::uint64_t> declared_length;
    // Writes the length in 2 or 8 bytes even when a shorter form fits.
    bool long_length = false;
};

std::string encode(const Frame& frame);
// The frame at the start of `bytes`, its payload unmasked, and in `used` the
// bytes it takes; nullopt when `bytes` does not hold all of it. What encode
// writes, decode gives back (declared_length stays unset).
std::optional<Frame> decode(std::string_view bytes, std::size_t& used);

// Well-formed final frames.
std::string text(std::string_view payload);
std::string binary(std::string_view payload);
std::string ping(std::string_view payload = {});
std::string pong(std::string_view payload = {});
// A close frame with this code (any value, valid or not) and reason.
std::string close(std::uint16_t code, std::string_view reason = {});

// A message of `op` cut into `pieces` frames (at least one): the first
// carries the opcode, the others are continuations, the last is final.
std::vector<std::string> fragments(std::uint8_t op, std::string_view payload, std::size_t pieces);

// A 101 answer to an upgrade request with this accept value, plus any
// extra header lines ("Name: value", without CRLF). kRawAcceptKey, the
// default, makes it the correct answer once the printer sends it.
std::string handshake_reply(std::string_view accept = kRawAcceptKey,
                            const std::vector<std::string>& extra_headers = {});

// `bytes` in chunks of `size` bytes (the last may be shorter).
std::vector<std::string> split_every(std::string_view bytes, std::size_t size = 1);

}  // namespace printer_sim::raw
