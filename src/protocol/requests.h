// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The JSON-RPC requests the plug-in sends, byte for byte. Each kind of request
// has a fixed id and replies are routed by that id alone, so at most one
// request of each kind is meaningful per printer at a time.
//
// The texts are assembled from fixed pieces. String parameters are JSON-escaped
// (quote, backslash, control characters), so a file name can never change the
// request around it; ordinary names pass through byte for byte.

#include <cstdint>
#include <string>
#include <string_view>

namespace pemra::protocol::requests {

// The ids; a text the host sends as is has none (0).
inline constexpr std::int32_t kObjectsList = 1;       // printer.objects.list
inline constexpr std::int32_t kObjectsSubscribe = 2;  // printer.objects.subscribe
inline constexpr std::int32_t kPrinterInfo = 3;       // printer.info
inline constexpr std::int32_t kFileList = 4;          // server.files.get_directory
inline constexpr std::int32_t kFileMetadata = 5;      // server.files.metadata
inline constexpr std::int32_t kLastHistory = 6;       // server.history.list, the newest job only
inline constexpr std::int32_t kHistoryPage = 7;       // server.history.list, a page for the host
inline constexpr std::int32_t kDeleteFile = 8;        // server.files.delete_file

inline constexpr std::string_view kObjectsListText =
    R"({"jsonrpc":"2.0","method":"printer.objects.list","params":{},"id":1})";
inline constexpr std::string_view kPrinterInfoText =
    R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":3})";
inline constexpr std::string_view kLastHistoryText =
    R"({"jsonrpc":"2.0","method":"server.history.list","params":{"start":0,"limit":1,"order":"desc"},"id":6})";

// `objects_param` is the "objects" member built from the printer's object
// list; it is inserted as is.
std::string objects_subscribe(std::string_view objects_param);
std::string file_list(std::string_view path);
std::string file_metadata(std::string_view file_name);
std::string history_page(std::int32_t start, std::int32_t limit, std::string_view order);
// The file name is relative to the printer's G-code root.
std::string delete_file(std::string_view file_name);

// Appends `text` as the inside of a JSON string: quote, backslash and control
// characters escaped, every other byte unchanged.
void append_json_escaped(std::string& out, std::string_view text);

}  // namespace pemra::protocol::requests
