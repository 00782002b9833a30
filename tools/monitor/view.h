// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// How the watch loop shows the fleet: redrawn in place on a terminal, or as
// log lines elsewhere. Either way at a bounded rate, not once per callback:
// a printing printer reports several times a second.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "fleet.h"
#include "output.h"

namespace monitor {

class View {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~View() = default;
    // Something a person should hear about.
    virtual void note(const std::vector<Happening>& happenings) = 0;
    // The fleet changed; it will be shown at the next due time.
    virtual void changed() = 0;
    // When draw should be called next.
    virtual Clock::time_point due() const = 0;
    virtual void draw(const Fleet& fleet) = 0;
    // Last picture before the program ends.
    virtual void finish(const Fleet& fleet) = 0;
};

struct ViewSetup {
    std::string plugin_version;
    bool demo = false;
};

std::unique_ptr<View> make_live_view(Output& out, const ViewSetup& setup);
std::unique_ptr<View> make_plain_log(Output& out);

// The live table on a terminal, else plain lines.
inline std::unique_ptr<View> make_view(Output& out, const ViewSetup& setup) {
    return out.is_terminal() ? make_live_view(out, setup) : make_plain_log(out);
}

}  // namespace monitor
