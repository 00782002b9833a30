// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/frame_depth.h"

namespace pemra::protocol {

bool nesting_exceeds(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    bool in_string = false;
    bool escaped = false;
    for (char c : text) {
        if (in_string) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                in_string = false;
            }
            continue;
        }
        switch (c) {
            case '"': in_string = true; break;
            case '[':
            case '{':
                if (++depth > limit) return true;
                break;
            case ']':
            case '}':
                if (depth > 0) --depth;
                break;
            default: break;
        }
    }
    return false;
}

}  // namespace pemra::protocol
