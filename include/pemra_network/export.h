// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The one macro that decides what the shared library exports. Every function
// the host looks up by name carries it; everything else in the library is
// hidden (and the linker map generated from this header keeps it that way).
#if defined(_WIN32)
#  if defined(PEMRA_NETWORK_BUILDING)
#    define PEMRA_API extern "C" __declspec(dllexport)
#  else
#    define PEMRA_API extern "C" __declspec(dllimport)
#  endif
#else
#  define PEMRA_API extern "C" __attribute__((visibility("default")))
#endif
