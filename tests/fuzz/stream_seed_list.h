// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The stream fuzzer's seeds: one script for each way a network can deliver
// something a client must survive, and a few it must accept.

#include <string>
#include <vector>

#include "printer_sim/faults.h"

namespace stream_fuzz {

struct Seed {
    std::string name;  // the seed file's name
    printer_sim::RawStream stream;
};

std::vector<Seed> seed_list();

}  // namespace stream_fuzz
