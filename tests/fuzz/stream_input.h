// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The stream fuzzer's input: how a byte string becomes the script a
// printer plays (decode), and how a script becomes the bytes that decode to
// it (encode, for the seeds).
//
// Read with FuzzedDataProvider: the last byte picks the reply (bit 0: the
// chunks are the whole answer, HTTP included), each byte before it, going
// backwards, is the length of the next chunk less one, and the chunks come
// from the front. At most kMaxChunks chunks; the last of those takes what
// is left.

#include <cstddef>
#include <cstdint>
#include <string>

#include "printer_sim/faults.h"

namespace stream_fuzz {

inline constexpr std::size_t kMaxChunks = 96;
inline constexpr std::size_t kMaxChunkBytes = 256;  // what one length byte can say

printer_sim::RawStream decode(const std::uint8_t* data, std::size_t size);

// Chunks longer than kMaxChunkBytes are cut into pieces of that size; empty
// chunks are left out. Throws std::length_error when that makes more chunks
// than decode reads.
std::string encode(const printer_sim::RawStream& stream);

}  // namespace stream_fuzz
