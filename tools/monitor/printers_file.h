// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// A farm's printers kept in a file, one "ID=HOST:PORT" a line, so that forty
// printers need not be typed on every command line.

#include <istream>
#include <string>
#include <vector>

#include "options.h"

namespace monitor {

// Reads the printers of `path` ("-": standard input). Blank lines and lines
// whose first character that is not a space is '#' are skipped; spaces
// around a line are ignored. Throws UsageError naming the file (and the line)
// when it cannot be read, holds no printer, or has a line that is not a
// printer.
std::vector<PrinterTarget> read_printers_file(const std::string& path);
// The same from an open stream; `name` labels the messages.
std::vector<PrinterTarget> read_printers(std::istream& in, const std::string& name);

}  // namespace monitor
