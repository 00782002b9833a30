// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/requests.h"

#include <string>

namespace pemra::protocol::requests {
namespace {

std::string with_string_param(std::string_view head, std::string_view param, std::string_view tail) {
    std::string out;
    out.reserve(head.size() + param.size() + tail.size() + 8);
    out.append(head);
    append_json_escaped(out, param);
    out.append(tail);
    return out;
}

}  // namespace

void append_json_escaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
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
}

std::string objects_subscribe(std::string_view objects_param) {
    constexpr std::string_view head = R"({"jsonrpc":"2.0","method":"printer.objects.subscribe","params":{)";
    constexpr std::string_view tail = R"(},"id":2})";
    std::string out;
    out.reserve(head.size() + objects_param.size() + tail.size());
    out.append(head).append(objects_param).append(tail);
    return out;
}

std::string file_list(std::string_view path) {
    return with_string_param(R"({"jsonrpc":"2.0","method":"server.files.get_directory","params":{"path":")",
                             path, R"("},"id":4})");
}

std::string file_metadata(std::string_view file_name) {
    return with_string_param(R"({"jsonrpc":"2.0","method":"server.files.metadata","params":{"filename":")",
                             file_name, R"("},"id":5})");
}

std::string history_page(std::int32_t start, std::int32_t limit, std::string_view order) {
    std::string out = R"({"jsonrpc":"2.0","method":"server.history.list","params":{"start":)";
    out += std::to_string(start);
    out += R"(,"limit":)";
    out += std::to_string(limit);
    out += R"(,"order":")";
    append_json_escaped(out, order);
    out += R"("},"id":7})";
    return out;
}

std::string delete_file(std::string_view file_name) {
    return with_string_param(R"({"jsonrpc":"2.0","method":"server.files.delete_file","params":{"path":"gcodes/)",
                             file_name, R"("},"id":8})");
}

}  // namespace pemra::protocol::requests
