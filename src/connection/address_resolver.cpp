// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "connection/address_resolver.h"

#include <algorithm>
#include <utility>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/steady_timer.hpp>

#include "base/log.h"
#include "platform/name_lookup.h"

namespace pemra {
namespace {

// A lookup is asked whether it has ended after 1 ms, then at doubling
// intervals up to this: quick for the names a local resolver knows, cheap
// for one that hangs.
constexpr std::chrono::milliseconds kLongestPoll{50};

class LookupCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "name lookup"; }
    std::string message(int value) const override {
        switch (static_cast<LookupError>(value)) {
            case LookupError::failed: return "the printer's name could not be resolved";
            case LookupError::timed_out: return "the printer's name lookup timed out";
            case LookupError::bad_name: return "the printer's name is not a host name";
        }
        return "name lookup error";
    }
};

}  // namespace

std::error_code make_error_code(LookupError error) {
    static const LookupCategory category;
    return {static_cast<int>(error), category};
}

struct AddressResolver::Flight {
    Flight(boost::asio::io_context& io, std::string printer, std::string name)
        : device_id(std::move(printer)), host(std::move(name)), lookup(host), poll_timer(io), deadline(io) {}

    const std::string device_id;
    const std::string host;
    platform::NameLookup lookup;
    boost::asio::steady_timer poll_timer;
    boost::asio::steady_timer deadline;  // of the attempt waiting now
    std::chrono::milliseconds poll_delay{1};
    std::uint16_t port = 0;
    Done waiting;  // the attempt the result goes to, if any
};

AddressResolver::AddressResolver(boost::asio::io_context& io, std::chrono::milliseconds timeout,
                                 std::function<bool(const std::string& host)> held)
    : io_(io), timeout_(timeout), held_(std::move(held)) {}

AddressResolver::~AddressResolver() = default;

void AddressResolver::resolve(const std::string& device_id, const std::string& host, std::uint16_t port,
                              Done done) {
    boost::system::error_code not_numeric;
    const auto address = boost::asio::ip::make_address(host, not_numeric);
    if (!not_numeric) {
        done(ResolvedTarget{{}, {boost::asio::ip::tcp::endpoint(address, port)}});
        return;
    }
    if (host.empty() || host.size() > kMaxNameLength) {
        done(ResolvedTarget{make_error_code(LookupError::bad_name), {}});
        return;
    }
    auto found = flights_.find(device_id);
    if (found != flights_.end()) {
        if (found->second->host == host) {
            wait_for(found->second, port, std::move(done));
            return;
        }
        // The printer moved to another name: the old lookup is abandoned
        // (its thread ends alone).
        flights_.erase(found);
    }
    log::debug("name lookup of ", host, " for ", device_id, " started");
    auto flight = std::make_shared<Flight>(io_, device_id, host);
    flights_[device_id] = flight;
    wait_for(flight, port, std::move(done));
    poll(flight);
}

void AddressResolver::wait_for(const std::shared_ptr<Flight>& flight, std::uint16_t port, Done done) {
    flight->port = port;
    flight->waiting = std::move(done);
    flight->deadline.expires_after(timeout_);
    std::weak_ptr<Flight> weak = flight;
    flight->deadline.async_wait([weak](const boost::system::error_code& ec) {
        auto running = weak.lock();
        if (ec || !running || !running->waiting) return;
        log::info("name lookup of ", running->host, " timed out");
        Done waiting = std::move(running->waiting);
        running->waiting = nullptr;
        waiting(ResolvedTarget{make_error_code(LookupError::timed_out), {}});
    });
}

void AddressResolver::poll(const std::shared_ptr<Flight>& flight) {
    if (flight->lookup.finished() && !(held_ && held_(flight->host))) {
        finish(flight);
        return;
    }
    flight->poll_timer.expires_after(flight->poll_delay);
    flight->poll_delay = std::min(flight->poll_delay * 2, kLongestPoll);
    // The timers live in the flight: their handlers must not keep it alive,
    // or a resolver destroyed with lookups running would never free them.
    std::weak_ptr<Flight> weak = flight;
    flight->poll_timer.async_wait([this, weak](const boost::system::error_code& ec) {
        if (auto running = weak.lock(); running && !ec) poll(running);
    });
}

void AddressResolver::finish(std::shared_ptr<Flight> flight) {
    flight->deadline.cancel();
    if (auto found = flights_.find(flight->device_id); found != flights_.end() && found->second == flight) {
        flights_.erase(found);
    }
    if (!flight->waiting) return;

    ResolvedTarget target;
    for (const auto& text : flight->lookup.addresses()) {
        boost::system::error_code ec;
        const auto address = boost::asio::ip::make_address(text, ec);
        if (!ec) target.endpoints.emplace_back(address, flight->port);
    }
    if (target.endpoints.empty()) {
        log::info("name lookup of ", flight->host, " failed: ", flight->lookup.error());
        target.error = make_error_code(LookupError::failed);
    }
    Done waiting = std::move(flight->waiting);
    flight->waiting = nullptr;
    waiting(std::move(target));
}

}  // namespace pemra
