// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/subscription.h"

#include "protocol/requests.h"

namespace pemra::protocol {
namespace {

constexpr std::string_view kMarker = "\"objects";
constexpr std::string_view kListEnd = "]}";

using json_read::Element;
using simdjson::dom::array;

// The "result"."objects" array when it holds only strings.
std::optional<array> parsed_names(Element reply) {
    const auto result = json_read::object_entry(reply, "result");
    const auto objects = result ? json_read::find(*result, "objects") : std::nullopt;
    if (!objects || !objects->is_array()) return std::nullopt;
    const array names = json_read::elements_of(*objects);
    for (const Element name : names) {
        if (!name.is_string()) return std::nullopt;
    }
    return names;
}

std::string_view text_of(Element name) { return name.get_string().value_unsafe(); }

bool has_list_syntax(array names) {
    for (const Element name : names) {
        if (text_of(name).find_first_of(",[]") != std::string_view::npos) return true;
    }
    return false;
}

std::string from_parsed(array names) {
    std::string out = "\"objects\":{";
    bool first = true;
    for (const Element name : names) {
        if (!first) out.push_back(',');
        first = false;
        out.push_back('"');
        requests::append_json_escaped(out, text_of(name));
        out += "\":null";
    }
    out.push_back('}');
    return out;
}

std::string rewrite(std::string_view list) {
    std::string out;
    out.reserve(list.size() + list.size() / 2);
    for (char c : list) {
        switch (c) {
            case ',': out += ":null,"; break;
            case ']': out += ":null}"; break;
            case '[': out.push_back('{'); break;
            default: out.push_back(c);
        }
    }
    return out;
}

bool empty_brackets(std::string_view list) {
    const auto open = list.find('[');
    if (open == std::string_view::npos) return false;
    const auto inside = list.substr(open + 1, list.size() - open - 2);
    return inside.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

Subscription subscription_from_reply(std::string_view reply_text, Element reply) {
    const auto names = parsed_names(reply);
    if (names && names->begin() == names->end()) return {std::nullopt, "the printer named no objects"};
    if (names && has_list_syntax(*names)) return {from_parsed(*names), {}};

    const auto start = reply_text.find(kMarker);
    if (start == std::string_view::npos) return {std::nullopt, "no object list in the reply"};
    const auto end = reply_text.find(kListEnd, start);
    if (end == std::string_view::npos) return {std::nullopt, "no end of the object list in the reply"};
    const std::string_view list = reply_text.substr(start, end + 1 - start);
    if (empty_brackets(list)) return {std::nullopt, "the printer named no objects"};
    return {rewrite(list), {}};
}

}  // namespace pemra::protocol
