// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The plug-in's diagnostic log: one text file per create_agent call under
// <log_dir>/log, one record per line:
//   "[" severity "]" TAB "%Y-%m-%d %H:%M:%S.%f" "[Thread " id "]:" message
//
// Records are tagged with the plug-in's own channel and only the plug-in's
// sinks take them, so a host that uses the same logging library keeps its own
// filter and its own sinks. The threshold of the latest init_logging applies
// to every record. Cheap to call from any thread: a record below the threshold
// costs one atomic load. Writing never throws.

#include <string>
#include <string_view>

#include "base/concat.h"

namespace pemra::log {

// The logging library's trivial severity levels, with the same numbers.
enum class Level : int { trace = 0, debug = 1, info = 2, warning = 3, error = 4, fatal = 5 };

// Sets up a file sink under log_dir (UTF-8) and the threshold for log_level.
// Returns false, with no new sink, when the folder or the sink cannot be set up.
bool init_logging(const std::string& log_dir, int log_level);

// Threshold for a host log level: 0 fatal, 1 error, 2 warning, 3 info,
// 4 debug, anything else trace.
Level threshold_for(int log_level);

// True when a record of this level would be written somewhere.
bool enabled(Level level);

// Writes one record; CR and LF in the message are written as \r and \n so
// that text from printers can never start a line of its own.
void write(Level level, std::string_view message);

// Flushes every sink set up so far (every record goes to each of them).
void flush();

namespace detail {
template <typename... Parts>
void write_parts(Level level, const Parts&... parts) {
    if (!enabled(level)) return;
    write(level, text::concat(parts...));
}
}  // namespace detail

// Message built by plain concatenation of the parts (texts and integers).
template <typename... Parts>
void debug(const Parts&... parts) { detail::write_parts(Level::debug, parts...); }
template <typename... Parts>
void info(const Parts&... parts) { detail::write_parts(Level::info, parts...); }
template <typename... Parts>
void error(const Parts&... parts) { detail::write_parts(Level::error, parts...); }

}  // namespace pemra::log
