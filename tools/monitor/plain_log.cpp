// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "table.h"
#include "view.h"

namespace monitor {
namespace {

using namespace std::chrono_literals;

constexpr auto kLineGap = 1s;

// Off a terminal: each happening as it comes, and a printer's line again
// whenever what it says has changed, at most once a second.
class PlainLog final : public View {
public:
    explicit PlainLog(Output& out) : out_(out) {}

    void note(const std::vector<Happening>& happenings) override {
        std::string text;
        for (const auto& h : happenings) text += clock_text(h.time) + " " + h.device_id + ": " + h.text + "\n";
        if (!text.empty()) out_.write(text);
    }
    void changed() override { dirty_ = true; }
    Clock::time_point due() const override { return dirty_ ? last_ + kLineGap : Clock::time_point::max(); }
    void draw(const Fleet& fleet) override {
        std::string text;
        const std::string now = clock_text(std::chrono::system_clock::now());
        shown_.resize(fleet.rows().size());
        for (std::size_t i = 0; i < fleet.rows().size(); ++i) {
            std::string line = plain_row(fleet.rows()[i]);
            if (line == shown_[i]) continue;
            text += now + " " + line + "\n";
            shown_[i] = std::move(line);
        }
        if (!text.empty()) out_.write(text);
        last_ = Clock::now();
        dirty_ = false;
    }
    void finish(const Fleet& fleet) override { draw(fleet); }

private:
    Output& out_;
    std::vector<std::string> shown_;
    bool dirty_ = false;
    Clock::time_point last_{};
};

}  // namespace

std::unique_ptr<View> make_plain_log(Output& out) { return std::make_unique<PlainLog>(out); }

}  // namespace monitor
