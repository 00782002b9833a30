// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "stream_input.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

namespace stream_fuzz {

printer_sim::RawStream decode(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    printer_sim::RawStream stream;
    stream.reply = in.ConsumeBool() ? printer_sim::RawStream::Reply::scripted : printer_sim::RawStream::Reply::handshake;
    while (in.remaining_bytes() > 0) {
        if (stream.chunks.size() + 1 == kMaxChunks) {
            stream.chunks.push_back(in.ConsumeRemainingBytesAsString());
            break;
        }
        const auto length = in.ConsumeIntegralInRange<std::size_t>(1, kMaxChunkBytes);
        stream.chunks.push_back(in.ConsumeBytesAsString(length));
    }
    return stream;
}

std::string encode(const printer_sim::RawStream& stream) {
    std::string front;
    std::vector<std::uint8_t> back;  // in the order decode reads them
    back.push_back(stream.reply == printer_sim::RawStream::Reply::scripted ? 1 : 0);
    for (const auto& chunk : stream.chunks) {
        for (std::size_t at = 0; at < chunk.size(); at += kMaxChunkBytes) {
            const std::size_t length = std::min(kMaxChunkBytes, chunk.size() - at);
            front.append(chunk, at, length);
            back.push_back(static_cast<std::uint8_t>(length - 1));
        }
    }
    // The last chunk decode can read takes the rest without a length byte,
    // so a full script is one chunk short of the limit.
    if (back.size() - 1 >= kMaxChunks) throw std::length_error("stream_fuzz::encode: too many chunks");
    std::string out = front;
    for (auto it = back.rbegin(); it != back.rend(); ++it) out.push_back(static_cast<char>(*it));
    return out;
}

}  // namespace stream_fuzz
