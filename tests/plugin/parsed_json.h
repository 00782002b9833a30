// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// A JSON text parsed the way the plug-in parses printer frames, for handing
// to its readers. Each Parsed owns its document: pass a temporary straight to
// the reader, or keep the Parsed alive while its elements are in use.

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/frame_parser.h"
#include "status/json_read.h"

namespace test_json {

class Parsed {
public:
    explicit Parsed(const std::string& text) {
        const auto result = parser_.parse(text);
        if (result.outcome != pemra::protocol::FrameParser::Outcome::parsed) {
            throw std::invalid_argument("test JSON does not parse: " + text);
        }
        root_ = result.root;
    }
    explicit Parsed(const char* text) : Parsed(std::string(text)) {}
    explicit Parsed(const nlohmann::json& value) : Parsed(value.dump()) {}
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;

    operator pemra::json_read::Element() const { return root_; }
    pemra::json_read::Element root() const { return root_; }

private:
    pemra::protocol::FrameParser parser_;
    pemra::json_read::Element root_;
};

}  // namespace test_json
