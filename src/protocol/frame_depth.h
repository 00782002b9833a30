// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include <cstddef>
#include <string_view>

namespace pemra::protocol {

// Frames nested deeper than this are dropped before they are parsed: no
// printer message comes close, and deep documents make recursive copies and
// destructors run out of stack.
inline constexpr std::size_t kMaxNesting = 64;

// True when the JSON text opens more than `limit` arrays or objects at once
// (brackets inside strings do not count). The text need not be valid JSON.
bool nesting_exceeds(std::string_view text, std::size_t limit = kMaxNesting);

}  // namespace pemra::protocol
