// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Plain concatenation of texts and integers, the way every log line and
// trace of the plug-in is built.

#include <string>
#include <string_view>
#include <type_traits>

namespace pemra::text {

inline void append(std::string& out, std::string_view part) { out.append(part); }
inline void append(std::string& out, const char* part) { out.append(part); }
inline void append(std::string& out, const std::string& part) { out.append(part); }
inline void append(std::string& out, char part) { out.push_back(part); }
template <typename Int, typename = std::enable_if_t<std::is_integral_v<Int> && !std::is_same_v<Int, char>>>
void append(std::string& out, Int value) {
    out.append(std::to_string(value));
}

template <typename... Parts>
std::string concat(const Parts&... parts) {
    std::string out;
    (append(out, parts), ...);
    return out;
}

}  // namespace pemra::text
