// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// AddressResolver: finds the addresses a printer's connection goes to, for
// each printer alone. A numeric address is used as it is, at once. A name is
// looked up by the system for that printer only, with a timeout of its own
// that ends only that printer's wait, so a name that takes long to resolve
// (an unreachable DNS server, a multicast name nobody answers) holds up no
// other printer. At most one lookup runs per printer: attempts made while it
// runs wait for it instead of starting more.
//
// Threads: io_thread only; destroyed after io_thread has stopped. A lookup
// still running then is abandoned without waiting for it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

namespace pemra {

// Where a connection attempt goes: the host's addresses, tried in this
// order, or why there are none.
struct ResolvedTarget {
    std::error_code error;
    std::vector<boost::asio::ip::tcp::endpoint> endpoints;
};

// Why a lookup found no address; the error a connection attempt then fails with.
enum class LookupError { failed = 1, timed_out, bad_name };
std::error_code make_error_code(LookupError error);

class AddressResolver {
public:
    using Done = std::function<void(ResolvedTarget)>;

    // A name's longest form: 253 characters.
    static constexpr std::size_t kMaxNameLength = 253;

    // `held`, when set, keeps a name's lookup running while it returns true
    // (a test's slow resolver).
    AddressResolver(boost::asio::io_context& io, std::chrono::milliseconds timeout,
                    std::function<bool(const std::string& host)> held = nullptr);
    ~AddressResolver();
    AddressResolver(const AddressResolver&) = delete;
    AddressResolver& operator=(const AddressResolver&) = delete;

    // Finds host:port for printer `device_id` and calls `done` with the
    // result: at once for a numeric address or a name that cannot be looked
    // up, when the lookup ends, or after the timeout with LookupError::timed_out
    // (the lookup itself goes on, and the printer's next attempt waits for
    // it). While the printer's lookup of the same host runs, `done` replaces
    // the one waiting before, which is dropped uncalled: only the newest
    // attempt of a printer is ever wanted.
    void resolve(const std::string& device_id, const std::string& host, std::uint16_t port, Done done);

private:
    struct Flight;
    void wait_for(const std::shared_ptr<Flight>& flight, std::uint16_t port, Done done);
    void poll(const std::shared_ptr<Flight>& flight);
    void finish(std::shared_ptr<Flight> flight);

    boost::asio::io_context& io_;
    const std::chrono::milliseconds timeout_;
    const std::function<bool(const std::string& host)> held_;
    // Running lookups, by the printer they are for.
    std::map<std::string, std::shared_ptr<Flight>> flights_;
};

}  // namespace pemra

namespace std {
template <>
struct is_error_code_enum<pemra::LookupError> : true_type {};
}  // namespace std
