// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// A look at a frame's text before it is parsed, in one pass without
// allocation: how deeply it nests, and what its top-level "method" and "id"
// keys say. It decides two things before the costly parse:
// - frames nested deeper than kMaxNesting are dropped (no printer message
//   comes close, and deep documents make recursive copies run out of stack);
// - host-statistics notifications, which the plug-in ignores and printers
//   send every second, are only checked for validity, never built.
// The text need not be valid JSON; the outline only claims what it saw.

#include <cstddef>
#include <string_view>

namespace pemra::protocol {

inline constexpr std::size_t kMaxNesting = 64;

struct FrameOutline {
    bool too_deep = false;          // more than kMaxNesting arrays/objects open at once
    int method_keys = 0;            // top-level "method" keys
    int id_keys = 0;                // top-level "id" keys
    std::string_view method;        // the raw text of the last top-level "method" string value
    bool method_escaped = false;    // that text holds escapes, so it is not the decoded value

    // A frame the dispatcher ignores without a trace, once it parses: a
    // notification of host statistics, with no id that would make it a reply.
    bool is_host_statistics() const;
};

FrameOutline outline_frame(std::string_view text, std::size_t max_nesting = kMaxNesting);

}  // namespace pemra::protocol
