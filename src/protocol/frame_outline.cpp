// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/frame_outline.h"

namespace pemra::protocol {

bool FrameOutline::is_host_statistics() const {
    // A repeated key or an escaped value would leave the parsed document
    // different from what was seen here: those go the long way.
    return !too_deep && method_keys == 1 && id_keys == 0 && !method_escaped &&
           method == "notify_proc_stat_update";
}

FrameOutline outline_frame(std::string_view text, std::size_t max_nesting) {
    FrameOutline out;
    std::size_t depth = 0;
    bool in_string = false;
    bool escaped = false;
    bool string_escaped = false;
    std::size_t string_start = 0;
    // Within the top-level object: whether the next string is a key, and
    // which key the value being read belongs to.
    bool expect_key = false;
    std::string_view key;

    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
                string_escaped = true;
            } else if (c == '"') {
                in_string = false;
                if (depth == 1) {
                    const std::string_view value = text.substr(string_start, i - string_start);
                    if (expect_key) {
                        key = value;
                        expect_key = false;
                        if (key == "method") ++out.method_keys;
                        if (key == "id") ++out.id_keys;
                        // An escaped key is not matched; count it as both so
                        // the frame cannot pass for host statistics.
                        if (string_escaped) {
                            ++out.method_keys;
                            ++out.id_keys;
                        }
                    } else if (key == "method") {
                        out.method = value;
                        out.method_escaped = string_escaped;
                    }
                }
            }
            continue;
        }
        switch (c) {
            case '"':
                in_string = true;
                string_escaped = false;
                string_start = i + 1;
                break;
            case '{':
            case '[':
                if (++depth > max_nesting) {
                    out.too_deep = true;
                    return out;
                }
                if (depth == 1) expect_key = c == '{';
                break;
            case '}':
            case ']':
                if (depth > 0) --depth;
                break;
            case ',':
                if (depth == 1) expect_key = true;
                break;
            default:
                break;
        }
    }
    return out;
}

}  // namespace pemra::protocol
