// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "watch.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "demo.h"
#include "event_queue.h"
#include "exit_codes.h"
#include "fleet.h"
#include "host.h"
#include "json_text.h"
#include "stop_signal.h"
#include "view.h"

namespace monitor {

int run_watch(const Options& options, const PluginApi& api, Output& out) {
    using Clock = std::chrono::steady_clock;
    EventQueue queue;
    StopSignals signals(queue.wake_fd());

    std::vector<PrinterTarget> printers = options.printers;
    std::unique_ptr<DemoPrinters> demo;
    if (options.demo) {
        demo = std::make_unique<DemoPrinters>();
        for (const auto& target : demo->targets()) {
            if (std::any_of(printers.begin(), printers.end(), [&](const auto& p) { return p.id == target.id; })) {
                throw UsageError("printer id '" + target.id + "' is taken by the demo");
            }
            printers.push_back(target);
        }
    }

    const auto end = options.duration
                         ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(*options.duration))
                         : Clock::time_point::max();
    Fleet fleet(printers);
    std::unique_ptr<View> view;
    if (!options.json) view = make_view(out, ViewSetup{api.pemra_network_get_version(), options.demo});

    Host host(api, options.log_dir, options.log_level, queue);
    host.start();
    for (const auto& printer : printers) host.connect(printer);

    bool reader_gone = false;
    while (!stop_requested() && !reader_gone && Clock::now() < end) {
        queue.wait(view ? std::min(end, view->due()) : end);
        for (const Event& event : queue.take()) {
            if (options.json) {
                reader_gone = !out.write(event_json_line(event));
                continue;
            }
            Fleet::Outcome outcome = fleet.apply(event);
            // The latest history entry is fetched the way a host would: when
            // the printer comes up and whenever it says its history changed.
            if (outcome.wants_last_job) host.request_history(event.device_id, 0, kLastJobsPage, "desc");
            view->note(outcome.happenings);
            view->changed();
        }
        if (view && Clock::now() >= view->due()) view->draw(fleet);
    }
    host.shut_down();
    if (view && !reader_gone) view->finish(fleet);
    return exit_code::ok;
}

}  // namespace monitor
