// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The printers as text: a table for the terminal, a line each for logs.

#include <string>
#include <vector>

#include "fleet.h"
#include "labels.h"

namespace monitor {

struct TextStyle {
    bool colours = false;
    bool utf8 = false;
    int width = 80;  // columns available; no line is longer
};

// The header and one line per printer, without line ends. Columns that say
// nothing for any printer are left out, and when the width is short the
// least useful ones go first.
std::vector<std::string> render_table(const std::vector<const PrinterRow*>& rows, const TextStyle& style);
// One printer in a sentence, without time or line end, for a plain log.
std::string plain_row(const PrinterRow& row);

// Wraps text in the tone's colour (or not, without colours).
std::string paint(const std::string& text, Tone tone, bool colours);
// Cuts text to at most `width` terminal columns (UTF-8 aware), marking the cut.
std::string fit(const std::string& text, int width, bool utf8);
int display_width(const std::string& text);

}  // namespace monitor
