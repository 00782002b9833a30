// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The terminal view: the table is redrawn in place by moving the cursor back
// up over the previous frame, rather than on the alternate screen, so that
// the last picture stays in the terminal after the program ends.

#include <algorithm>
#include <deque>

#include "standing.h"
#include "table.h"
#include "view.h"

namespace monitor {
namespace {

using namespace std::chrono_literals;

constexpr auto kMinFrameGap = 200ms;  // at most five frames a second
constexpr auto kClockTick = 1s;       // the clock in the title moves
constexpr std::size_t kRecent = 5;
// Notices are remembered well beyond those shown, so that a repeat is still
// recognised when several printers take turns (five offline printers say
// "reconnect" and "offline" in turn every second).
constexpr std::size_t kRemembered = 64;
// When the printers do not all fit, this many notices still keep their
// place below the table: in a farm, the table alone would crowd them out.
constexpr std::size_t kRecentBesideFullTable = 3;

// A notice and how often it came in a row of the same printer's words: a
// printer that cannot be reached says so every second.
struct Notice {
    Happening happening;
    int count = 1;
};

class LiveView final : public View {
public:
    LiveView(Output& out, ViewSetup setup) : out_(out), setup_(std::move(setup)) {
        out_.write("\x1b[?25l");  // no cursor blinking over the table
    }
    ~LiveView() override { out_.write("\x1b[?25h"); }

    void note(const std::vector<Happening>& happenings) override {
        for (const auto& h : happenings) {
            const auto same = std::find_if(recent_.begin(), recent_.end(), [&](const Notice& n) {
                return n.happening.device_id == h.device_id && n.happening.text == h.text;
            });
            int count = 1;
            if (same != recent_.end()) {
                count = same->count + 1;
                recent_.erase(same);
            }
            recent_.push_back(Notice{h, count});
            if (recent_.size() > kRemembered) recent_.pop_front();
        }
        if (!happenings.empty()) dirty_ = true;
    }
    void changed() override { dirty_ = true; }
    Clock::time_point due() const override { return last_ + (dirty_ ? kMinFrameGap : kClockTick); }
    void draw(const Fleet& fleet) override {
        out_.write(frame(fleet));
        last_ = Clock::now();
        dirty_ = false;
    }
    void finish(const Fleet& fleet) override { draw(fleet); }

private:
    std::string notice_line(const Notice& n, const TextStyle& style, int room) const {
        const Happening& h = n.happening;
        const std::string id = fit(h.device_id, 16, style.utf8);
        std::string text = h.text;
        if (n.count > 1) text += std::string(style.utf8 ? " (\u00d7" : " (x") + std::to_string(n.count) + ")";
        const int left = std::max(0, room - display_width(clock_text(h.time) + "  " + id + "  "));
        return paint(clock_text(h.time), Tone::dim, style.colours) + "  " + id + "  " +
               paint(fit(text, left, style.utf8), h.tone, style.colours);
    }

    std::string frame(const Fleet& fleet) {
        const TextStyle style{out_.colours(), out_.utf8(), out_.width()};
        const std::string dot = style.utf8 ? " \u00b7 " : " - ";
        std::vector<std::string> lines;
        const auto count = fleet.rows().size();
        const int room = style.width - 1;
        lines.push_back(fit("pemra-monitor" + dot + "plug-in " + setup_.plugin_version + dot + std::to_string(count) +
                                (count == 1 ? " printer" : " printers") + dot +
                                clock_text(std::chrono::system_clock::now()) + dot + "Ctrl-C quits",
                            room, style.utf8));
        if (setup_.demo) {
            lines.push_back(paint(fit("demo: simulated printers on 127.0.0.1; give ID=HOST:PORT to watch your own",
                                      room, style.utf8),
                                  Tone::dim, style.colours));
        }
        const FarmCounts counts = count_farm(fleet.rows());
        const std::size_t trouble = counts.by_standing[static_cast<std::size_t>(Standing::offline)] +
                                    counts.by_standing[static_cast<std::size_t>(Standing::firmware_down)] +
                                    counts.by_standing[static_cast<std::size_t>(Standing::print_error)];
        lines.push_back(paint(fit(summary_text(counts), room, style.utf8), trouble > 0 ? Tone::bad : Tone::plain,
                              style.colours));
        lines.emplace_back();

        std::vector<const PrinterRow*> rows = trouble_first(fleet.rows());
        // "waiting..." stands in for no notice at all.
        std::size_t notices = recent_.empty() ? 1 : std::min(kRecent, recent_.size());
        std::vector<const PrinterRow*> hidden;

        // A frame taller than the terminal cannot be redrawn in place (the
        // cursor stops at the top line). The notices give way first, down to
        // a few, then the printers at the end of the order (the ones in the
        // least trouble), then the rest of the notices.
        const int height = out_.height();
        if (height > 0) {
            const std::size_t budget = static_cast<std::size_t>(std::max(1, height - 1));
            const std::size_t fixed = lines.size() + 1;  // and the table's header
            auto total = [&] { return fixed + rows.size() + (hidden.empty() ? 0 : 1) + (notices ? 1 + notices : 0); };
            while (notices > kRecentBesideFullTable && total() > budget) --notices;
            if (total() > budget && rows.size() > 1) {
                const std::size_t over = total() + (hidden.empty() ? 1 : 0) - budget;
                const std::size_t keep = rows.size() > over ? std::max<std::size_t>(1, rows.size() - over) : 1;
                hidden.assign(rows.begin() + static_cast<std::ptrdiff_t>(keep), rows.end());
                rows.resize(keep);
            }
            while (notices > 0 && total() > budget) --notices;
        }

        std::vector<std::string> table = render_table(rows, style);
        for (auto& line : table) lines.push_back(std::move(line));
        if (!hidden.empty()) lines.push_back(paint(fit(overflow_text(hidden), room, style.utf8), Tone::dim, style.colours));
        if (notices > 0) {
            lines.emplace_back();
            if (recent_.empty()) {
                lines.push_back(paint("waiting for the printers...", Tone::dim, style.colours));
            } else {
                for (auto it = recent_.end() - static_cast<std::ptrdiff_t>(notices); it != recent_.end(); ++it) {
                    lines.push_back(notice_line(*it, style, room));
                }
            }
        }

        std::string text;
        if (drawn_ > 0) text += "\r\x1b[" + std::to_string(drawn_) + "A";
        // Every line was cut to fit above: a line that wrapped would break
        // the count of lines to move back up over.
        for (const auto& line : lines) text += line + "\x1b[K\n";
        text += "\x1b[J";
        drawn_ = static_cast<int>(lines.size());
        return text;
    }

    Output& out_;
    const ViewSetup setup_;
    std::deque<Notice> recent_;
    bool dirty_ = true;
    int drawn_ = 0;
    Clock::time_point last_{};
};

}  // namespace

std::unique_ptr<View> make_live_view(Output& out, const ViewSetup& setup) {
    return std::make_unique<LiveView>(out, setup);
}

}  // namespace monitor
