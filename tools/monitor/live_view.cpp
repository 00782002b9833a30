// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The terminal view: the table is redrawn in place by moving the cursor back
// up over the previous frame, rather than on the alternate screen, so that
// the last picture stays in the terminal after the program ends.

#include <algorithm>
#include <deque>

#include "table.h"
#include "view.h"

namespace monitor {
namespace {

using namespace std::chrono_literals;

constexpr auto kMinFrameGap = 200ms;  // at most five frames a second
constexpr auto kClockTick = 1s;       // the clock in the title moves
constexpr std::size_t kRecent = 5;

class LiveView final : public View {
public:
    LiveView(Output& out, ViewSetup setup) : out_(out), setup_(std::move(setup)) {
        out_.write("\x1b[?25l");  // no cursor blinking over the table
    }
    ~LiveView() override { out_.write("\x1b[?25h"); }

    void note(const std::vector<Happening>& happenings) override {
        for (const auto& h : happenings) {
            recent_.push_back(h);
            if (recent_.size() > kRecent) recent_.pop_front();
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
        lines.emplace_back();
        std::vector<std::string> table = render_table(fleet.rows(), style);
        std::vector<std::string> events;
        if (recent_.empty()) events.push_back(paint("waiting for the printers...", Tone::dim, style.colours));
        for (const auto& h : recent_) {
            const std::string id = fit(h.device_id, 16, style.utf8);
            const int left = std::max(0, room - display_width(clock_text(h.time) + "  " + id + "  "));
            events.push_back(paint(clock_text(h.time), Tone::dim, style.colours) + "  " + id + "  " +
                             paint(fit(h.text, left, style.utf8), h.tone, style.colours));
        }

        // A frame taller than the terminal cannot be redrawn in place (the
        // cursor stops at the top line), so the events give way first, then
        // the printers beyond the last row that fits.
        const int height = out_.height();
        if (height > 0) {
            const auto budget = static_cast<std::size_t>(std::max(1, height - 1));
            const std::size_t fixed = lines.size();
            while (!events.empty() && fixed + table.size() + 1 + events.size() > budget) events.erase(events.begin());
            if (fixed + table.size() > budget && table.size() > 2) {
                const std::size_t keep = std::max<std::size_t>(2, budget > fixed + 1 ? budget - fixed - 1 : 2);
                const std::size_t hidden = table.size() - keep;
                table.resize(keep);
                table.push_back(paint(fit("+" + std::to_string(hidden) + " more; a taller terminal or --json shows all",
                                          room, style.utf8),
                                      Tone::dim, style.colours));
            }
        }
        for (auto& line : table) lines.push_back(std::move(line));
        if (!events.empty()) {
            lines.emplace_back();
            for (auto& line : events) lines.push_back(std::move(line));
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
    std::deque<Happening> recent_;
    bool dirty_ = true;
    int drawn_ = 0;
    Clock::time_point last_{};
};

}  // namespace

std::unique_ptr<View> make_live_view(Output& out, const ViewSetup& setup) {
    return std::make_unique<LiveView>(out, setup);
}

}  // namespace monitor
