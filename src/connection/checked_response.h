// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The parser of a printer's answer to the WebSocket upgrade: the client
// library's own, behind a check of the status line.
//
// websocketpp 0.8.2 turns the status code into its status_code enum
// whatever the number ("HTTP/1.1 4013 ...", "HTTP/1.1 808 ..."), which is
// undefined behaviour for numbers the enum cannot hold (above 511). A status
// line whose code is not three digits up to 511 is refused here, before the
// library reads it, with the exception the library's parser throws for a
// code it cannot read: the handshake then fails as for any other malformed
// answer.

#include <cstddef>
#include <string>

// (The library's response header needs its shared_ptr names first.)
#include <websocketpp/common/memory.hpp>
#include <websocketpp/http/response.hpp>

namespace pemra {

class CheckedResponse : public websocketpp::http::parser::response {
public:
    // Hides the library's overloads: the connection reads through this one.
    std::size_t consume(const char* buf, std::size_t len);

private:
    void check_status_line(const char* buf, std::size_t len);

    std::string status_line_;  // the answer's first bytes, until the line ends
    bool status_checked_ = false;
};

}  // namespace pemra
