// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The status record of a printer that is not connected: its link closed,
// and the machine and print states that follow from that.

#include "pemra_network/machine_status.h"

namespace pemra {

// `status` with the link marked closed and the states derived again; what
// the printer said before (temperatures, the last job, ...) stays.
void mark_offline(MachineStatus& status);

// The record of a printer nothing is known of that cannot be reached.
inline MachineStatus offline_status() {
    MachineStatus status;
    mark_offline(status);
    return status;
}

}  // namespace pemra
