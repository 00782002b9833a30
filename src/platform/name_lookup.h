// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One host name looked up by the operating system's resolver, without the
// caller waiting for it: the lookup is started, then asked whether it has
// finished. A name lookup may hang for as long as the resolver likes (an
// unreachable DNS server, a multicast name nobody answers), and the C library
// cannot interrupt one, so each runs on a short-lived thread of its own that
// nothing ever joins: an abandoned lookup ends alone and frees what it used.
// Since such a thread may still be running after the agent is gone, the
// first lookup keeps the library loaded for the rest of the process.
//
// Not thread-safe: one owner uses it from one thread at a time.

#include <memory>
#include <string>
#include <vector>

namespace pemra::platform {

class NameLookup {
public:
    // Starts looking up the TCP addresses of `host` (a name, not a numeric
    // address). A lookup that cannot start is finished at once, with an error.
    explicit NameLookup(const std::string& host);
    // Abandons a lookup still running; its thread ends on its own.
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

    std::shared_ptr<Request> request_;  // shared with the lookup's thread
    bool collected_ = false;
    std::vector<std::string> addresses_;
    std::string error_;
};

}  // namespace pemra::platform
