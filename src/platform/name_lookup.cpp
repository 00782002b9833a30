// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The lookup's thread calls getaddrinfo and publishes what it found; the
// owner polls. (glibc's asynchronous getaddrinfo_a was the obvious tool, but
// its helper threads are made behind the back of the thread sanitizer, which
// then crashes in their first allocation.)

#if defined(_WIN32)
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <winsock2.h>
#  include <ws2tcpip.h>
#  include <windows.h>
#else
#  include <arpa/inet.h>
#  include <dlfcn.h>
#  include <netdb.h>
#  include <netinet/in.h>
#  include <sys/socket.h>
#endif

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/name_lookup.h"
#include "platform/platform.h"

namespace pemra::platform {
namespace {

// A lookup's thread runs the library's code to its very end, after its
// owner may have let go of it: the library must not be unloaded under it.
void keep_library_loaded() {
    static std::once_flag once;
    std::call_once(once, [] {
        static const char anchor = 0;
#if defined(_WIN32)
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&anchor), &self);
#else
        Dl_info info{};
        if (dladdr(&anchor, &info) && info.dli_fname) {
            // A second reference that is never closed, and no unloading at all.
            static_cast<void>(dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE));
        }
#endif
    });
}

// The numeric text of each IPv4 and IPv6 address in a resolver's list.
void append_numeric(const addrinfo* first, std::vector<std::string>& out) {
    for (const addrinfo* entry = first; entry; entry = entry->ai_next) {
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

struct NameLookup::Request {
    std::atomic<bool> done{false};
    // Written by the lookup's thread before `done`, read by the owner after.
    std::vector<std::string> addresses;
    std::string error;
};

NameLookup::NameLookup(const std::string& host) : request_(std::make_shared<Request>()) {
    keep_library_loaded();
    try {
        std::thread([request = request_, host] {
            set_current_thread_name("pemra-lookup");
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_protocol = IPPROTO_TCP;
            addrinfo* result = nullptr;
            const int outcome = getaddrinfo(host.c_str(), nullptr, &hints, &result);
            if (outcome != 0) {
                request->error = gai_strerror(outcome);
            } else {
                append_numeric(result, request->addresses);
                freeaddrinfo(result);
                if (request->addresses.empty()) request->error = "no address found";
            }
            request->done.store(true, std::memory_order_release);
        }).detach();
    } catch (const std::system_error& e) {
        request_->error = e.what();
        request_->done.store(true, std::memory_order_release);
    }
}

NameLookup::~NameLookup() = default;

bool NameLookup::finished() {
    if (!collected_ && request_->done.load(std::memory_order_acquire)) {
        addresses_ = std::move(request_->addresses);
        error_ = std::move(request_->error);
        collected_ = true;
    }
    return collected_;
}

}  // namespace pemra::platform
