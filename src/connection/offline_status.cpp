// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "connection/offline_status.h"

#include "status/status_readers.h"

namespace pemra {

void mark_offline(MachineStatus& status) {
    status.connect_state = connect_state::closed;
    status::derive_states(status);
}

}  // namespace pemra
