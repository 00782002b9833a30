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

#if defined(_WIN32)
namespace {

// SetThreadDescription exists from Windows 10 1607 on, and not every SDK's
// headers declare it: it is looked up, and older systems go without names.
using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

SetThreadDescriptionFn set_thread_description() {
    static const SetThreadDescriptionFn fn = [] {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        FARPROC found = kernel ? GetProcAddress(kernel, "SetThreadDescription") : nullptr;
        // Through void(*)(), the one function type any other converts to
        // without a warning.
        return reinterpret_cast<SetThreadDescriptionFn>(reinterpret_cast<void (*)()>(found));
    }();
    return fn;
}

}  // namespace
#endif

void set_current_thread_name(const char* name) {
#if defined(_WIN32)
    if (SetThreadDescriptionFn describe = set_thread_description()) {
        describe(GetCurrentThread(), boost::nowide::widen(name).c_str());
    }
#elif defined(__APPLE__)
    pthread_setname_np(name);
#else
    pthread_setname_np(pthread_self(), name);
#endif
}

}  // namespace pemra::platform
