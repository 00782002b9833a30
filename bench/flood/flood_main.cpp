// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// pemra-flood-bench: a host that sends a million messages to one printer
// while the agent's network thread is held up, and the process's memory
// meanwhile. The outbound path holds at most the queue and as many handed to
// the network thread; everything beyond waits the queue's wait and is
// dropped. The wait is shortened (here 0 ms: a full queue drops at once) so
// that the million calls take seconds; the product waits 30 s.
//
//   pemra-flood-bench [MESSAGES]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>

#include "agent/printer_manager.h"
#include "base/log.h"
#include "printer_sim/printer.h"
#include "process_stats.h"

int main(int argc, char** argv) {
    const long messages = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int saved_stdout = farm::silence_stdout();  // the plug-in's traces
    (void)saved_stdout;

    printer_sim::Printer printer;
    pemra::Timings timings;
    timings.queue_wait = std::chrono::milliseconds(0);
    pemra::PrinterManager agent(timings);
    std::promise<void> live;
    bool told = false;
    agent.set_machine_status_changed_fn([&](std::string, MachineStatus status) {
        if (!told && status.connect_state == pemra::connect_state::open && status.machine_state >= 4) {
            told = true;
            live.set_value();
        }
    });
    agent.start();
    agent.connect("flooded", "ws://" + printer.address() + "/websocket");
    if (live.get_future().wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::fprintf(stderr, "the printer did not come up\n");
        return 1;
    }

    // The network thread is held up until the flood is over.
    std::promise<void> flood_over;
    auto held = flood_over.get_future().share();
    agent.post([held] { held.wait(); });

    const std::string text = R"({"jsonrpc":"2.0","method":"printer.gcode.script","params":{"script":"M115"},"id":0})";
    std::fprintf(stderr, "%10s %12s %12s %12s %10s\n", "sent", "RSS KiB", "heap KiB", "queued", "handed");
    const double rss_before = farm::own_rss_kib();
    const auto start = std::chrono::steady_clock::now();
    for (long i = 1; i <= messages; ++i) {
        agent.send("flooded", 0, text, false);
        if (i % (messages / 10 > 0 ? messages / 10 : 1) == 0) {
            std::fprintf(stderr, "%10ld %12.0f %12.0f %12zu %10zu\n", i, farm::own_rss_kib(), farm::heap_in_use_kib(),
                         agent.queued_messages().size(), agent.messages_handed_over());
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "%ld sends in %.2f s (%.2f us each); resident memory grew by %.0f KiB\n", messages, seconds,
                 seconds * 1e6 / static_cast<double>(messages), farm::own_rss_kib() - rss_before);
    flood_over.set_value();
    agent.stop();
    return 0;
}
