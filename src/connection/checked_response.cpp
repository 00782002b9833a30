// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "connection/checked_response.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include <websocketpp/http/constants.hpp>

namespace pemra {

namespace http = websocketpp::http;

namespace {
// The largest code the library's status_code enum can hold: its highest
// enumerator, 511, takes nine bits, and so does every value of the type.
constexpr int kLargestCode = 511;
}  // namespace

std::size_t CheckedResponse::consume(const char* buf, std::size_t len) {
    if (!status_checked_) check_status_line(buf, len);
    return response::consume(buf, len);
}

void CheckedResponse::check_status_line(const char* buf, std::size_t len) {
    constexpr std::size_t kLimit = http::max_header_size;
    status_line_.append(buf, std::min(len, kLimit - std::min(kLimit, status_line_.size())));
    const auto line_end = status_line_.find("\r\n");
    if (line_end == std::string::npos) {
        // A line longer than any header block is the library's to refuse.
        if (status_line_.size() >= kLimit) status_checked_ = true;
        return;
    }
    status_checked_ = true;
    std::string line = std::exchange(status_line_, std::string());
    line.resize(line_end);
    // The library reads the code between the first space and the next; a
    // line without them it refuses by itself.
    const auto first = line.find(' ');
    if (first == std::string::npos) return;
    const auto second = line.find(' ', first + 1);
    if (second == std::string::npos) return;
    const std::string_view code = std::string_view(line).substr(first + 1, second - first - 1);
    const bool three_digits =
        code.size() == 3 && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!three_digits || (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0') > kLargestCode) {
        throw http::exception("Unable to parse response code", http::status_code::bad_request);
    }
}

}  // namespace pemra
