// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "json_out.h"

#include <charconv>
#include <cmath>

namespace printer_sim::detail::json_out {

void number(std::string& out, double value) {
    if (!std::isfinite(value)) {
        // JSON has no infinities; the printer never reports one either.
        out += "null";
        return;
    }
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;  // 32 bytes always hold the shortest form of a double
    const std::string_view text(buf, static_cast<std::size_t>(end - buf));
    out.append(text);
    if (text.find_first_of(".en") == std::string_view::npos) out += ".0";
}

double round_to(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

void rounded(std::string& out, double value, int decimals) { number(out, round_to(value, decimals)); }

void integer(std::string& out, std::int64_t value) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    out.append(buf, static_cast<std::size_t>(end - buf));
}

void boolean(std::string& out, bool value) { out += value ? "true" : "false"; }

void string(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20) {
                    out += "\\u00";
                    out.push_back(kHex[byte >> 4]);
                    out.push_back(kHex[byte & 0x0f]);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
}

void key(std::string& out, std::string_view name) {
    string(out, name);
    out.push_back(':');
}

}  // namespace printer_sim::detail::json_out
