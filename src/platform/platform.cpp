// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "platform/platform.h"

#include <boost/nowide/convert.hpp>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <pthread.h>
#endif

namespace pemra::platform {

std::tm local_time(std::time_t t) {
    std::tm out{};
#if defined(_WIN32)
    localtime_s(&out, &t);
#else
    localtime_r(&t, &out);
#endif
    return out;
}

boost::filesystem::path path_from_utf8(const std::string& text) {
#if defined(_WIN32)
    return boost::filesystem::path(boost::nowide::widen(text));
#else
    return boost::filesystem::path(text);
#endif
}

void set_current_thread_name(const char* name) {
#if defined(_WIN32)
    SetThreadDescription(GetCurrentThread(), boost::nowide::widen(name).c_str());
#elif defined(__APPLE__)
    pthread_setname_np(name);
#else
    pthread_setname_np(pthread_self(), name);
#endif
}

}  // namespace pemra::platform
