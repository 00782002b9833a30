// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "printer_sim/raw_frames.h"

#include <algorithm>

namespace printer_sim::raw {

std::string encode(const Frame& frame) {
    std::string out;
    out.push_back(static_cast<char>((frame.fin ? 0x80 : 0x00) | ((frame.rsv & 0x7) << 4) | (frame.opcode & 0xF)));
    const std::uint64_t length = frame.declared_length.value_or(frame.payload.size());
    const std::uint8_t mask_bit = frame.mask ? 0x80 : 0x00;
    int length_bytes = 0;
    if (length > 0xFFFF || (frame.long_length && length > 125)) {
        out.push_back(static_cast<char>(mask_bit | 127));
        length_bytes = 8;
    } else if (length > 125 || frame.long_length) {
        out.push_back(static_cast<char>(mask_bit | 126));
        length_bytes = 2;
    } else {
        out.push_back(static_cast<char>(mask_bit | length));
    }
    for (int i = length_bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
    if (!frame.mask) return out + frame.payload;
    const auto& key = *frame.mask;
    for (std::uint8_t byte : key) out.push_back(static_cast<char>(byte));
    for (std::size_t i = 0; i < frame.payload.size(); ++i) {
        out.push_back(static_cast<char>(static_cast<std::uint8_t>(frame.payload[i]) ^ key[i % 4]));
    }
    return out;
}

std::optional<Frame> decode(std::string_view bytes, std::size_t& used) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    if (bytes.size() < 2) return std::nullopt;
    Frame frame;
    frame.fin = (byte(0) & 0x80) != 0;
    frame.rsv = static_cast<std::uint8_t>((byte(0) >> 4) & 0x7);
    frame.opcode = byte(0) & 0xF;
    std::uint64_t length = byte(1) & 0x7F;
    const std::size_t length_bytes = length == 126 ? 2 : length == 127 ? 8 : 0;
    std::size_t at = 2;
    if (bytes.size() < at + length_bytes) return std::nullopt;
    if (length_bytes > 0) {
        length = 0;
        for (std::size_t i = 0; i < length_bytes; ++i) length = length << 8 | byte(at + i);
        at += length_bytes;
        frame.long_length = length <= (length_bytes == 2 ? 125 : 0xFFFF);
    }
    if (byte(1) & 0x80) {
        if (bytes.size() < at + 4) return std::nullopt;
        frame.mask = std::array<std::uint8_t, 4>{byte(at), byte(at + 1), byte(at + 2), byte(at + 3)};
        at += 4;
    }
    if (length > bytes.size() - at) return std::nullopt;
    frame.payload = std::string(bytes.substr(at, static_cast<std::size_t>(length)));
    for (std::size_t i = 0; frame.mask && i < frame.payload.size(); ++i) frame.payload[i] ^= (*frame.mask)[i % 4];
    used = at + static_cast<std::size_t>(length);
    return frame;
}

namespace {
std::string final_frame(std::uint8_t op, std::string_view payload) {
    Frame frame;
    frame.opcode = op;
    frame.payload = std::string(payload);
    return encode(frame);
}
}  // namespace

std::string text(std::string_view payload) { return final_frame(opcode::text, payload); }
std::string binary(std::string_view payload) { return final_frame(opcode::binary, payload); }
std::string ping(std::string_view payload) { return final_frame(opcode::ping, payload); }
std::string pong(std::string_view payload) { return final_frame(opcode::pong, payload); }

std::string close(std::uint16_t code, std::string_view reason) {
    std::string payload;
    payload.push_back(static_cast<char>(code >> 8));
    payload.push_back(static_cast<char>(code & 0xFF));
    payload.append(reason);
    return final_frame(opcode::close, payload);
}

std::vector<std::string> fragments(std::uint8_t op, std::string_view payload, std::size_t pieces) {
    pieces = std::max<std::size_t>(pieces, 1);
    const std::size_t step = (payload.size() + pieces - 1) / pieces;
    std::vector<std::string> out;
    for (std::size_t i = 0; i < pieces; ++i) {
        Frame frame;
        frame.fin = i + 1 == pieces;
        frame.opcode = i == 0 ? op : opcode::continuation;
        const std::size_t start = std::min(payload.size(), i * step);
        frame.payload = std::string(payload.substr(start, step));
        out.push_back(encode(frame));
    }
    return out;
}

std::string handshake_reply(std::string_view accept, const std::vector<std::string>& extra_headers) {
    std::string out =
        "HTTP/1.1 101 Switching Protocols\r\n"
        "Connection: Upgrade\r\n"
        "Upgrade: websocket\r\n"
        "Sec-WebSocket-Accept: ";
    out.append(accept);
    out.append("\r\n");
    for (const auto& header : extra_headers) out.append(header).append("\r\n");
    out.append("\r\n");
    return out;
}

std::vector<std::string> split_every(std::string_view bytes, std::size_t size) {
    size = std::max<std::size_t>(size, 1);
    std::vector<std::string> out;
    for (std::size_t at = 0; at < bytes.size(); at += size) out.emplace_back(bytes.substr(at, size));
    return out;
}

}  // namespace printer_sim::raw
