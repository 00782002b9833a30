// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Arbitrary frames into one printer's dispatcher, with every host callback
// set: nothing may crash, trip a sanitizer or let an exception escape.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "agent/printer_manager.h"
#include "connection/printer_connection.h"

namespace {

pemra::PrinterManager& agent() {
    static pemra::PrinterManager* instance = [] {
        pemra::Timings timings;
        timings.queue_wait = std::chrono::milliseconds(0);  // a full queue drops at once
        auto* a = new pemra::PrinterManager(timings);
        a->set_machine_status_changed_fn([](std::string id, MachineStatus s) {
            volatile auto keep = id.size() + s.hostname.size();
            (void)keep;
        });
        auto text = [](std::string id, std::string t) {
            volatile auto keep = id.size() + t.size();
            (void)keep;
        };
        a->set_file_list_arrived_fn(text);
        a->set_file_meta_arrived_fn(text);
        a->set_print_history_arrived_fn(text);
        a->set_error_arrived_fn(text);
        a->set_file_changed_fn(text);
        a->set_history_changed_fn(text);
        return a;
    }();
    return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto record = std::make_shared<pemra::PrinterConnection>("fuzz");
    const std::string frame(reinterpret_cast<const char*>(data), size);
    record->session.handle_message(frame, agent().frame_parser(), agent());
    return 0;
}
