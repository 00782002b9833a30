// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One host name looked up by the operating system's resolver, without a
// thread of ours waiting for it: the lookup is started, then asked whether it
// has finished. A name lookup may hang for as long as the resolver likes (an
// unreachable DNS server, a multicast name nobody answers), and the C library
// cannot always interrupt one that has begun; so nothing here ever blocks.
//
// Not thread-safe: one owner uses it from one thread at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pemra::platform {

class NameLookup {
public:
    // Starts looking up the TCP addresses of `host` (a name, not a numeric
    // address). A lookup that cannot start is finished at once, with an error.
    explicit NameLookup(const std::string& host);
    // Abandons a lookup still running: it is cancelled where the system can,
    // and otherwise left to finish alone (its few bytes are then not freed,
    // as the system still writes into them).
    ~NameLookup();
    NameLookup(const NameLookup&) = delete;
    NameLookup& operator=(const NameLookup&) = delete;

    // Never blocks. True once the lookup has finished, with addresses or not.
    bool finished();
    // After finished(): the numeric addresses found, in the resolver's order
    // (IPv4 dotted, IPv6 without brackets); empty on failure, with error()
    // saying why.
    const std::vector<std::string>& addresses() const { return addresses_; }
    const std::string& error() const { return error_; }

private:
    struct Request;
    void collect();

    std::unique_ptr<Request> request_;  // null once finished
    std::vector<std::string> addresses_;
    std::string error_;
};

}  // namespace pemra::platform
