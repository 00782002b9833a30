// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/frame_parser.h"

#include <string_view>

namespace pemra::protocol {
namespace {

// Buffers grown past this by a rare large frame (a long file list) are given
// back after it: the parser's memory is about 14 bytes per byte of capacity.
constexpr std::size_t kKeptCapacity = 64 * 1024;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Follows a text character by character: which characters belong to a
// string literal, its quotes included (escaped quotes do not end one).
class StringTracker {
public:
    bool inside(char c) {
        if (in_string_) {
            if (escaped_) {
                escaped_ = false;
            } else if (c == '\\') {
                escaped_ = true;
            } else if (c == '"') {
                in_string_ = false;
            }
            return true;
        }
        in_string_ = c == '"';
        return in_string_;
    }

private:
    bool in_string_ = false;
    bool escaped_ = false;
};

// Whether the text, valid or not, opens more than `limit` arrays and objects
// at once (brackets inside strings do not count).
bool nests_deeper_than(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    StringTracker strings;
    for (const char c : text) {
        if (strings.inside(c)) continue;
        if (c == '{' || c == '[') {
            if (++depth > limit) return true;
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
    }
    return false;
}

// Whether the digits of an integer (no sign, no leading zero) exceed the
// 64-bit range: up to 18446744073709551615, or 9223372036854775808 negated.
bool beyond_64_bits(std::string_view digits, bool negative) {
    const std::string_view limit = negative ? "9223372036854775808" : "18446744073709551615";
    return digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit);
}

// Copies `text` to `out` with ".0" after every integer beyond the 64-bit
// range, which makes it a double; true when there was one.
bool widen_big_integers(std::string_view text, std::string& out) {
    out.clear();
    bool widened = false;
    StringTracker strings;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (strings.inside(c) || (c != '-' && !is_digit(c))) {
            out.push_back(c);
            ++i;
            continue;
        }
        const std::size_t start = i;
        const bool negative = c == '-';
        if (negative) ++i;
        const std::size_t digits_start = i;
        while (i < text.size() && is_digit(text[i])) ++i;
        const std::string_view digits = text.substr(digits_start, i - digits_start);
        out.append(text.substr(start, i - start));
        const bool fraction_or_exponent = i < text.size() && (text[i] == '.' || text[i] == 'e' || text[i] == 'E');
        if (fraction_or_exponent) {
            // The rest of the number: its fraction and exponent digits are
            // not integers of their own.
            const std::size_t rest = i;
            while (i < text.size() && (is_digit(text[i]) || text[i] == '.' || text[i] == 'e' || text[i] == 'E' ||
                                       text[i] == '+' || text[i] == '-')) {
                ++i;
            }
            out.append(text.substr(rest, i - rest));
        } else if (!digits.empty() && digits[0] != '0' && beyond_64_bits(digits, negative)) {
            out.append(".0");
            widened = true;
        }
    }
    return widened;
}

}  // namespace

FrameParser::FrameParser() { reset_buffers(); }

void FrameParser::reset_buffers() {
    parser_ = simdjson::dom::parser(kMaxFrameBytes);
    // Room for the usual frames from the start. The depth limit is set here
    // and kept when a larger frame grows the buffers.
    const auto ignored = parser_.allocate(kKeptCapacity, kMaxNesting);
    (void)ignored;
}

FrameParser::Result FrameParser::parse(const std::string& text) {
    // The previous frame's document is no longer in use. (A depth other
    // than ours means the last allocation failed.)
    if (parser_.capacity() > kKeptCapacity || parser_.max_depth() != kMaxNesting) reset_buffers();
    Result result;
    auto parsed = parser_.parse(text);
    std::string widened;
    if (parsed.error() == simdjson::NUMBER_ERROR && widen_big_integers(text, widened)) {
        parsed = parser_.parse(widened);
    }
    if (!parsed.error()) {
        result.outcome = Outcome::parsed;
        result.root = parsed.value_unsafe();
    } else {
        // The depth is judged on the text itself, so that a frame both too
        // deep and malformed is always called too deep.
        result.outcome = nests_deeper_than(text, kMaxNesting) ? Outcome::too_deep : Outcome::not_json;
    }
    return result;
}

}  // namespace pemra::protocol
