// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The printer's identity from the "result" of its printer.info reply: the
// firmware state, the name reported to the host (factory host names become
// model names) and the software version.

#include "pemra_network/machine_status.h"
#include "status/json_read.h"

namespace pemra::protocol {

// Throws json_read::ReadError for a "state", "hostname" or
// "software_version" that is not a string; fields read before keep their values.
void apply_printer_info(MachineStatus& s, json_read::Element result);

}  // namespace pemra::protocol
