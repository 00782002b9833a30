// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Linux: glibc's asynchronous getaddrinfo_a, asked with gai_error; its own
// threads run the lookup. Windows: GetAddrInfoExW with an OVERLAPPED, asked
// with GetAddrInfoExOverlappedResult. Either way no thread of the plug-in
// waits, so a lookup that hangs holds up neither other printers nor the
// agent's stop, and nothing of ours runs after the library is unloaded.

#if defined(_WIN32)
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <winsock2.h>
#  include <ws2tcpip.h>
#  include <windows.h>
#  include <boost/nowide/convert.hpp>
#else
#  include <arpa/inet.h>
#  include <netdb.h>
#  include <signal.h>
#  include <netinet/in.h>
#  include <sys/socket.h>
#endif

#include <cstring>

#include "platform/name_lookup.h"

namespace pemra::platform {
namespace {

// The numeric text of each IPv4 and IPv6 address in a resolver's list.
template <typename Entry>
void append_numeric(const Entry* first, std::vector<std::string>& out) {
    for (const Entry* entry = first; entry; entry = entry->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* address = nullptr;
        if (entry->ai_family == AF_INET) {
            address = &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr;
        } else if (entry->ai_family == AF_INET6) {
            address = &reinterpret_cast<const sockaddr_in6*>(entry->ai_addr)->sin6_addr;
        }
        if (address && inet_ntop(entry->ai_family, address, text, sizeof text)) out.emplace_back(text);
    }
}

}  // namespace

#if defined(_WIN32)

struct NameLookup::Request {
    std::wstring name;
    ADDRINFOEXW hints{};
    ADDRINFOEXW* result = nullptr;
    OVERLAPPED overlapped{};
    HANDLE cancel = nullptr;
};

NameLookup::NameLookup(const std::string& host) : request_(std::make_unique<Request>()) {
    request_->name = boost::nowide::widen(host);
    request_->hints.ai_family = AF_UNSPEC;
    request_->hints.ai_socktype = SOCK_STREAM;
    request_->hints.ai_protocol = IPPROTO_TCP;
    const INT started = GetAddrInfoExW(request_->name.c_str(), nullptr, NS_DNS, nullptr, &request_->hints,
                                       &request_->result, nullptr, &request_->overlapped, nullptr,
                                       &request_->cancel);
    if (started != WSA_IO_PENDING) collect();
}

NameLookup::~NameLookup() {
    if (!request_) return;
    if (GetAddrInfoExOverlappedResult(&request_->overlapped) == WSAEINPROGRESS) {
        GetAddrInfoExCancel(&request_->cancel);
        // The cancelled lookup still completes into the request; it stays.
        static_cast<void>(request_.release());
        return;
    }
    if (request_->result) FreeAddrInfoExW(request_->result);
}

bool NameLookup::finished() {
    if (!request_) return true;
    if (GetAddrInfoExOverlappedResult(&request_->overlapped) == WSAEINPROGRESS) return false;
    collect();
    return true;
}

void NameLookup::collect() {
    const INT outcome = GetAddrInfoExOverlappedResult(&request_->overlapped);
    if (outcome != 0 && outcome != WSAEINPROGRESS) {
        error_ = "name lookup failed with error " + std::to_string(outcome);
    }
    append_numeric(request_->result, addresses_);
    if (request_->result) FreeAddrInfoExW(request_->result);
    request_.reset();
    if (addresses_.empty() && error_.empty()) error_ = "no address found";
}

#else

struct NameLookup::Request {
    std::string name;
    addrinfo hints{};
    gaicb call{};
};

NameLookup::NameLookup(const std::string& host) : request_(std::make_unique<Request>()) {
    request_->name = host;
    request_->hints.ai_family = AF_UNSPEC;
    request_->hints.ai_socktype = SOCK_STREAM;
    request_->hints.ai_protocol = IPPROTO_TCP;
    request_->call.ar_name = request_->name.c_str();
    request_->call.ar_request = &request_->hints;
    gaicb* list[] = {&request_->call};
    sigevent quiet{};
    quiet.sigev_notify = SIGEV_NONE;  // polled: no thread or signal of ours
    const int started = getaddrinfo_a(GAI_NOWAIT, list, 1, &quiet);
    if (started != 0) {
        error_ = gai_strerror(started);
        request_.reset();
    }
}

NameLookup::~NameLookup() {
    if (!request_) return;
    switch (gai_cancel(&request_->call)) {
        case EAI_CANCELED:
            return;
        case EAI_ALLDONE:
            if (request_->call.ar_result) freeaddrinfo(request_->call.ar_result);
            return;
        default:
            // Running in the C library's thread, which writes the result into
            // the request when done: it must outlive us.
            static_cast<void>(request_.release());
            return;
    }
}

bool NameLookup::finished() {
    if (!request_) return true;
    if (gai_error(&request_->call) == EAI_INPROGRESS) return false;
    collect();
    return true;
}

void NameLookup::collect() {
    const int outcome = gai_error(&request_->call);
    if (outcome != 0) error_ = gai_strerror(outcome);
    addrinfo* result = outcome == 0 ? request_->call.ar_result : nullptr;
    append_numeric(result, addresses_);
    if (result) freeaddrinfo(result);
    request_.reset();
    if (addresses_.empty() && error_.empty()) error_ = "no address found";
}

#endif

}  // namespace pemra::platform
