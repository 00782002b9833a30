// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace monitor {
namespace {

struct Cell {
    std::string text;  // empty: nothing to say
    Tone tone = Tone::plain;
};

struct Column {
    const char* title;
    int keep;       // higher stays longer when the width is short
    int comfort;    // a shrinkable column is cut to this before others go
    int min_width;  // and to this only when nothing else is left to drop
    int max_width;
    bool right;
};

enum Col { kPrinter, kLink, kFirmware, kHost, kState, kFile, kProgress, kLayer, kNozzle, kBed, kFan, kLastJob, kNotice, kCount };

constexpr Column kColumns[kCount] = {
    {"PRINTER", 100, 16, 7, 16, false}, {"LINK", 95, 10, 4, 10, false},
    {"FIRMWARE", 65, 12, 8, 12, false}, {"HOST", 40, 10, 6, 18, false},
    {"STATE", 90, 9, 5, 9, false},      {"FILE", 70, 20, 8, 34, false},
    {"PROGRESS", 85, 15, 15, 15, false}, {"LAYER", 60, 9, 5, 9, true},
    {"NOZZLE", 80, 9, 6, 9, true},      {"BED", 78, 9, 6, 9, true},
    {"FAN", 50, 4, 4, 4, true},         {"LAST JOB", 45, 18, 8, 18, false},
    {"NOTICE", 75, 16, 6, 30, false},
};
constexpr Col kShrinkable[] = {kFile, kNotice, kHost, kLastJob};
constexpr int kEssential = 85;  // dropped only when cutting the others is not enough

std::string format(const char* pattern, double a, double b) {
    char text[48];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

double progress_of(const MachineStatus& s) {
    const double p = s.display_status.progress > 0 ? s.display_status.progress : s.virtual_sdcard.progress;
    return std::isfinite(p) ? std::clamp(p, 0.0, 1.0) : 0.0;
}

bool has_job(const MachineStatus& s) { return s.print_state >= pemra::print_state::printing && s.print_state <= pemra::print_state::error; }

Cell heater(double temperature, double target) {
    if (target <= 0) return {format("%.0f", temperature, 0), Tone::dim};
    const bool there = std::fabs(temperature - target) <= 3.0;
    return {format("%.0f/%.0f", temperature, target), there ? Tone::good : Tone::warn};
}

Cell bar(double progress, bool utf8, Tone tone) {
    constexpr int kCells = 10;
    const int filled = static_cast<int>(std::lround(progress * kCells));
    std::string text;
    for (int i = 0; i < kCells; ++i) text += i < filled ? (utf8 ? "\u2588" : "#") : (utf8 ? "\u2591" : ".");
    char percent[8];
    std::snprintf(percent, sizeof percent, " %3d%%", static_cast<int>(progress * 100.0));
    return {text + percent, tone};
}

std::vector<Cell> cells_of(const PrinterRow& row, bool utf8) {
    std::vector<Cell> c(kCount);
    const MachineStatus& s = row.status;
    c[kPrinter] = {row.target.id, Tone::plain};
    if (!row.have_status) {
        c[kLink] = {"connecting", Tone::dim};
        c[kHost] = {row.target.address, Tone::dim};
        return c;
    }
    const Label link = link_label(s);
    c[kLink] = {link.text, link.tone};
    c[kHost] = s.hostname.empty() ? Cell{row.target.address, Tone::dim} : Cell{s.hostname, Tone::plain};
    if (!row.last_job.empty()) c[kLastJob] = {row.last_job, Tone::plain};
    if (!row.notice.empty()) c[kNotice] = {row.notice + " " + clock_text(row.notice_time), Tone::bad};
    if (s.connect_state != pemra::connect_state::open) return c;

    const Label firmware = firmware_label(s);
    c[kFirmware] = {firmware.text, firmware.tone};
    const Label state = print_label(s);
    c[kState] = {state.text, state.tone};
    if (has_job(s)) {
        c[kFile] = {s.print_stats.filename.empty() ? s.virtual_sdcard.file_path : s.print_stats.filename,
                    Tone::plain};
        c[kProgress] = bar(progress_of(s), utf8, state.tone);
        if (s.print_stats.total_layer > 0) {
            c[kLayer] = {std::to_string(s.print_stats.current_layer) + "/" + std::to_string(s.print_stats.total_layer),
                         Tone::plain};
        }
    }
    c[kNozzle] = heater(s.extruder.temperature, s.extruder.target);
    c[kBed] = heater(s.heater_bed.temperature, s.heater_bed.target);
    c[kFan] = {std::to_string(static_cast<int>(std::lround(std::clamp(s.fan.speed, 0.0, 1.0) * 100))) + "%",
               s.fan.speed > 0 ? Tone::plain : Tone::dim};
    return c;
}

std::string pad(const std::string& text, int width, bool right, bool utf8) {
    std::string cut = fit(text, width, utf8);
    const std::string spaces(static_cast<std::size_t>(std::max(0, width - display_width(cut))), ' ');
    return right ? spaces + cut : cut + spaces;
}

// Which columns to show and how wide, so that a line fits `available`:
// first the long texts are cut to a comfortable width, then the least
// useful columns go, then the long texts are cut further; room left over
// at the end goes back to the texts that were cut.
std::vector<int> lay_out(const std::vector<std::vector<Cell>>& table, int available) {
    std::vector<int> natural(kCount, -1);  // -1: hidden
    for (int col = 0; col < kCount; ++col) {
        int widest = -1;
        for (const auto& cells : table) {
            if (!cells[col].text.empty()) widest = std::max(widest, display_width(cells[col].text));
        }
        if (widest < 0 && col != kPrinter) continue;
        const int title = display_width(kColumns[col].title);
        natural[col] = std::clamp(std::max(widest, title), title, std::max(title, kColumns[col].max_width));
    }
    std::vector<int> width = natural;
    auto total = [&] {
        int sum = 0;
        int shown = 0;
        for (int w : width) {
            if (w >= 0) {
                sum += w;
                ++shown;
            }
        }
        return sum + 2 * std::max(0, shown - 1);
    };
    auto cut_to = [&](auto limit_of) {
        for (int col : kShrinkable) {
            if (total() <= available) return;
            const int least = std::max(limit_of(col), display_width(kColumns[col].title));
            if (width[col] > least) width[col] = std::max(least, width[col] - (total() - available));
        }
    };
    auto drop_while_over = [&](int below) {
        while (total() > available) {
            int drop = -1;
            for (int col = 0; col < kCount; ++col) {
                if (width[col] >= 0 && col != kPrinter && kColumns[col].keep < below &&
                    (drop < 0 || kColumns[col].keep < kColumns[drop].keep)) {
                    drop = col;
                }
            }
            if (drop < 0) return;
            width[drop] = -1;
        }
    };
    cut_to([](int col) { return kColumns[col].comfort; });
    drop_while_over(kEssential);
    cut_to([](int col) { return kColumns[col].min_width; });
    drop_while_over(1000);
    for (int col : kShrinkable) {
        if (width[col] >= 0 && total() < available) {
            width[col] = std::min(natural[col], width[col] + (available - total()));
        }
    }
    return width;
}

}  // namespace

int display_width(const std::string& text) {
    int columns = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++columns;
    }
    return columns;
}

std::string fit(const std::string& text, int width, bool utf8) {
    if (width <= 0) return {};
    if (display_width(text) <= width) return text;
    std::string out;
    int columns = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80) {
            if (columns == width - 1) break;
            ++columns;
        }
        out.push_back(text[i]);
    }
    return out + (utf8 ? "\u2026" : "~");
}

std::string paint(const std::string& text, Tone tone, bool colours) {
    if (!colours) return text;
    const char* code = nullptr;
    switch (tone) {
        case Tone::plain: return text;
        case Tone::dim: code = "2"; break;
        case Tone::good: code = "32"; break;
        case Tone::busy: code = "36"; break;
        case Tone::warn: code = "33"; break;
        case Tone::bad: code = "31"; break;
    }
    return std::string("\x1b[") + code + "m" + text + "\x1b[0m";
}

std::vector<std::string> render_table(const std::vector<const PrinterRow*>& rows, const TextStyle& style) {
    std::vector<std::vector<Cell>> table;
    table.reserve(rows.size());
    for (const PrinterRow* row : rows) table.push_back(cells_of(*row, style.utf8));
    const std::vector<int> width = lay_out(table, std::max(20, style.width - 1));

    auto line_of = [&](auto cell_at, bool header) {
        std::string line;
        bool first = true;
        for (int col = 0; col < kCount; ++col) {
            if (width[col] < 0) continue;
            if (!first) line += "  ";
            first = false;
            const Cell cell = cell_at(col);
            // The last column is not padded, so lines carry no trailing blanks.
            const bool last = std::none_of(width.begin() + col + 1, width.end(), [](int w) { return w >= 0; });
            std::string text = pad(cell.text, width[col], kColumns[col].right, style.utf8);
            if (last && !kColumns[col].right) text = fit(cell.text, width[col], style.utf8);
            line += header ? (style.colours ? "\x1b[1m" + text + "\x1b[0m" : text) : paint(text, cell.tone, style.colours);
        }
        return line;
    };
    std::vector<std::string> lines;
    lines.push_back(line_of([](int col) { return Cell{kColumns[col].title, Tone::plain}; }, true));
    for (const auto& cells : table) lines.push_back(line_of([&](int col) { return cells[col]; }, false));
    return lines;
}

std::string plain_row(const PrinterRow& row) {
    const MachineStatus& s = row.status;
    std::string line = row.target.id + ":";
    if (!row.have_status) return line + " connecting to " + row.target.address;
    line += " " + link_label(s).text;
    if (s.connect_state == pemra::connect_state::open) {
        line += ", firmware " + firmware_label(s).text;
        if (!s.hostname.empty()) line += ", host " + s.hostname;
        line += ", " + print_label(s).text;
        if (has_job(s)) {
            line += " " + (s.print_stats.filename.empty() ? s.virtual_sdcard.file_path : s.print_stats.filename);
            line += " " + std::to_string(static_cast<int>(progress_of(s) * 100.0)) + "%";
            if (s.print_stats.total_layer > 0) {
                line += " layer " + std::to_string(s.print_stats.current_layer) + "/" +
                        std::to_string(s.print_stats.total_layer);
            }
        }
        line += ", nozzle " + heater(s.extruder.temperature, s.extruder.target).text;
        line += ", bed " + heater(s.heater_bed.temperature, s.heater_bed.target).text;
        line += ", fan " + std::to_string(static_cast<int>(std::lround(std::clamp(s.fan.speed, 0.0, 1.0) * 100))) + "%";
    } else {
        line += " (" + row.target.address + ")";
    }
    if (!row.last_job.empty()) line += ", last job " + row.last_job;
    if (!row.notice.empty()) line += ", notice \"" + row.notice + "\" at " + clock_text(row.notice_time);
    return line;
}

}  // namespace monitor
