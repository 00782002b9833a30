// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The parser of a printer's upgrade answer reads what the client library
// reads, and refuses a status code the library cannot hold.

#include <string>

#include <gtest/gtest.h>
#include <websocketpp/http/constants.hpp>

#include "connection/checked_response.h"

namespace {

using pemra::CheckedResponse;

const std::string kUpgrade =
    "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
    "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n";

// Feeds `answer` in pieces of `piece` bytes, as the network may deliver it.
void feed(CheckedResponse& response, const std::string& answer, std::size_t piece) {
    for (std::size_t at = 0; at < answer.size() && !response.headers_ready(); at += piece) {
        const std::string part = answer.substr(at, piece);
        response.consume(part.data(), part.size());
    }
}

TEST(CheckedResponse, AnUpgradeInAnyPiecesIsReadAsTheLibraryReadsIt) {
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, kUpgrade.size()}) {
        SCOPED_TRACE(piece);
        CheckedResponse response;
        feed(response, kUpgrade, piece);
        ASSERT_TRUE(response.headers_ready());
        EXPECT_EQ(response.get_status_code(), websocketpp::http::status_code::switching_protocols);
        EXPECT_EQ(response.get_header("Sec-WebSocket-Accept"), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
    }
    CheckedResponse refused;
    feed(refused, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", 3);
    EXPECT_EQ(refused.get_status_code(), websocketpp::http::status_code::not_found);
    CheckedResponse largest;
    feed(largest, "HTTP/1.1 511 Network Authentication Required\r\n\r\n", 5);
    EXPECT_EQ(largest.get_status_code(), websocketpp::http::status_code::network_authentication_required);
}

TEST(CheckedResponse, AStatusCodeTheLibraryCannotHoldIsRefused) {
    for (const char* line : {"HTTP/1.1 4013 Not\r\n", "HTTP/1.1 -1 Bad\r\n", "HTTP/1.1 +101 Ok\r\n",
                             "HTTP/1.1 99999999999 Big\r\n", "HTTP/1.1 1e2 X\r\n", "HTTP/1.1 10 X\r\n", "HTTP/1.1 512 X\r\n",
                             "HTTP/1.1 808 X\r\n"}) {
        SCOPED_TRACE(line);
        for (std::size_t piece : {std::size_t{1}, std::size_t{64}}) {
            CheckedResponse response;
            EXPECT_THROW(feed(response, std::string(line) + "Upgrade: websocket\r\n\r\n", piece),
                         websocketpp::http::exception);
        }
    }
}

}  // namespace
