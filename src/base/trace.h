// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Progress traces that go to the process's standard output rather than the
// log file (send loop, liveness pass, pongs, unrouted frames). Each call
// writes its parts with one write, so traces of different threads do not mix
// within a call. Nothing is flushed or appended: a trace without "\n" at the
// end continues on the line of the next one.

#include <cstdio>
#include <string>

#include "base/concat.h"

namespace pemra::trace {

template <typename... Parts>
void out(const Parts&... parts) {
    const std::string line = text::concat(parts...);
    std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace pemra::trace
