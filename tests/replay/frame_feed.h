// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// How the replay hands a frame to a printer's dispatcher, kept apart so that
// the replay can be built against another version of the read path.

#include <string>

namespace pemra {
class PrinterManager;
class PrinterConnection;
}  // namespace pemra

namespace replay {

void feed(pemra::PrinterManager& agent, pemra::PrinterConnection& record, const std::string& frame);

}  // namespace replay
