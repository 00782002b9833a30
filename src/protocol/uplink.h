// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Everything the reading of a printer's frames may do beyond that printer's
// own record: tell the host, and ask the printer for more. The agent
// implements it; every call comes on the agent's network thread, and each
// returns without waiting for the printer.

#include <string>

#include "pemra_network/machine_status.h"

namespace pemra::protocol {

class Uplink {
public:
    // The host's callbacks, each with the printer's device id.
    virtual void report_machine_status(const std::string& device_id, const MachineStatus& status) = 0;
    virtual void report_file_list(const std::string& device_id, const std::string& text) = 0;
    virtual void report_file_meta(const std::string& device_id, const std::string& text) = 0;
    virtual void report_print_history(const std::string& device_id, const std::string& text) = 0;
    virtual void report_error(const std::string& device_id, const std::string& text) = 0;
    virtual void report_file_changed(const std::string& device_id, const std::string& text) = 0;
    virtual void report_history_changed(const std::string& device_id, const std::string& text) = 0;

    // The requests a reply or a notice leads to.
    virtual void request_objects_list(const std::string& device_id) = 0;
    virtual void request_objects_subscribe(const std::string& device_id, const std::string& objects_param) = 0;
    virtual void request_printer_info(const std::string& device_id) = 0;
    virtual void request_last_history(const std::string& device_id) = 0;

protected:
    ~Uplink() = default;
};

}  // namespace pemra::protocol
