// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The parser of every frame a printer sends: one per network thread, reused
// frame after frame, so that once its buffers have grown to the usual frame
// a parse allocates nothing. It validates the whole text (JSON grammar and
// UTF-8) in the one pass that builds the document the readers walk.
//
// Frames nested deeper than kMaxNesting arrays and objects are refused: no
// printer message comes close, and deep documents are a way to exhaust a
// recursive reader's stack. Integers beyond the 64-bit range are read as the
// nearest double rather than refused, as printers' JSON libraries write them.
//
// Not thread-safe: the document of the last parse lives in the parser.

#include <cstddef>
#include <string>

#include <simdjson.h>

namespace pemra::protocol {

inline constexpr std::size_t kMaxNesting = 64;
// The largest message the WebSocket client accepts; the parser can take it.
inline constexpr std::size_t kMaxFrameBytes = 32000000;

class FrameParser {
public:
    enum class Outcome { parsed, too_deep, not_json };
    struct Result {
        Outcome outcome = Outcome::not_json;
        simdjson::dom::element root;  // valid when parsed, until the next parse
    };

    FrameParser();
    Result parse(const std::string& text);

private:
    void reset_buffers();

    simdjson::dom::parser parser_;
};

}  // namespace pemra::protocol
