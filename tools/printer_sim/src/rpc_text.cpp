// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "rpc_text.h"

#include "json_out.h"

namespace printer_sim::detail::rpc {

std::string result_text(const nlohmann::json& id, std::string_view result_json) {
    std::string out;
    out.reserve(result_json.size() + 48);
    out += R"({"jsonrpc":"2.0","result":)";
    out.append(result_json);
    out += R"(,"id":)";
    out += id.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    out.push_back('}');
    return out;
}

std::string result(const nlohmann::json& id, const nlohmann::json& result) {
    return result_text(id, result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::string error(const nlohmann::json& id, int code, std::string_view message) {
    std::string out = R"({"jsonrpc":"2.0","error":{"code":)";
    json_out::integer(out, code);
    out += R"(,"message":)";
    json_out::string(out, message);
    out += R"(},"id":)";
    out += id.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    out.push_back('}');
    return out;
}

std::string notification(std::string_view method, const nlohmann::json& params) {
    std::string out = R"({"jsonrpc":"2.0","method":)";
    json_out::string(out, method);
    out += R"(,"params":)";
    out += params.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    out.push_back('}');
    return out;
}

std::string notification(std::string_view method) {
    std::string out = R"({"jsonrpc":"2.0","method":)";
    json_out::string(out, method);
    out.push_back('}');
    return out;
}

}  // namespace printer_sim::detail::rpc
