// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The JSON-RPC 2.0 frames the API server sends, in its member order:
// replies {"jsonrpc":"2.0","result":R,"id":N}, errors
// {"jsonrpc":"2.0","error":{"code":C,"message":M},"id":N} and notifications
// {"jsonrpc":"2.0","method":M,"params":[...]} (or without params).
// Stateless functions; any thread.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace printer_sim::detail::rpc {

std::string result(const nlohmann::json& id, const nlohmann::json& result);
// `result_json` is inserted as is.
std::string result_text(const nlohmann::json& id, std::string_view result_json);
std::string error(const nlohmann::json& id, int code, std::string_view message);
std::string notification(std::string_view method, const nlohmann::json& params);
std::string notification(std::string_view method);  // no params member

}  // namespace printer_sim::detail::rpc
