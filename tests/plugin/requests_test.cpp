// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <climits>
#include <string>
#include <string_view>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "protocol/requests.h"

namespace {

using namespace pemra::protocol::requests;

TEST(RequestTexts, FixedRequestsAreSentByteForByte) {
    // Replies are routed by id alone, so each fixed request keeps an id of
    // its own; the printer reads the method and its parameters.
    EXPECT_EQ(kObjectsListText, R"({"jsonrpc":"2.0","method":"printer.objects.list","params":{},"id":1})");
    EXPECT_EQ(kPrinterInfoText, R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":3})");
    EXPECT_EQ(kLastHistoryText,
              R"({"jsonrpc":"2.0","method":"server.history.list","params":{"start":0,"limit":1,"order":"desc"},"id":6})");
}

TEST(RequestTexts, ParameterisedRequestsKeepOrdinaryNamesByteForByte) {
    EXPECT_EQ(file_list("gcodes"), R"({"jsonrpc":"2.0","method":"server.files.get_directory","params":{"path":"gcodes"},"id":4})");
    EXPECT_EQ(file_metadata("benchy v2 (0.2mm).gcode"),
              R"({"jsonrpc":"2.0","method":"server.files.metadata","params":{"filename":"benchy v2 (0.2mm).gcode"},"id":5})");
    EXPECT_EQ(delete_file("sub/dir/part.gcode"),
              R"({"jsonrpc":"2.0","method":"server.files.delete_file","params":{"path":"gcodes/sub/dir/part.gcode"},"id":8})");
    EXPECT_EQ(objects_subscribe(R"("objects":{"webhooks":null,"output_pin box_led":null})"),
              R"({"jsonrpc":"2.0","method":"printer.objects.subscribe","params":{"objects":{"webhooks":null,"output_pin box_led":null}},"id":2})");
    // UTF-8 passes through unchanged.
    EXPECT_EQ(file_metadata("\xc3\xa9t\xc3\xa9.gcode"),
              "{\"jsonrpc\":\"2.0\",\"method\":\"server.files.metadata\",\"params\":{\"filename\":\"\xc3\xa9t\xc3\xa9.gcode\"},\"id\":5}");
}

TEST(RequestTexts, HistoryNumbersAndOrderAreWrittenAsGiven) {
    EXPECT_EQ(history_page(0, 10, "desc"),
              R"({"jsonrpc":"2.0","method":"server.history.list","params":{"start":0,"limit":10,"order":"desc"},"id":7})");
    EXPECT_EQ(history_page(-5, -1, "asc"),
              R"({"jsonrpc":"2.0","method":"server.history.list","params":{"start":-5,"limit":-1,"order":"asc"},"id":7})");
    EXPECT_EQ(history_page(INT_MIN, INT_MAX, ""),
              R"({"jsonrpc":"2.0","method":"server.history.list","params":{"start":-2147483648,"limit":2147483647,"order":""},"id":7})");
}

TEST(RequestTexts, StringParametersCannotRewriteTheRequest) {
    // A name built to add a second "path" must stay one string value.
    const std::string hostile = R"(a.gcode"},"path":"gcodes/other.gcode)";
    const auto text = delete_file(hostile);
    const auto parsed = nlohmann::json::parse(text);
    ASSERT_EQ(parsed["params"].size(), 1u);
    EXPECT_EQ(parsed["params"]["path"], "gcodes/" + hostile);

    const std::string controls = std::string("back\\slash\nnew\tline\x01", 20);
    EXPECT_EQ(nlohmann::json::parse(file_metadata(controls))["params"]["filename"], controls);
    EXPECT_EQ(nlohmann::json::parse(history_page(0, 1, "desc\"")) ["params"]["order"], "desc\"");
    EXPECT_NE(file_metadata("x\"y").find(R"("filename":"x\"y")"), std::string::npos);
    EXPECT_NE(file_metadata(std::string(1, '\x1f')).find(R"(\u001f)"), std::string::npos);
}

}  // namespace
