// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include <functional>
#include <string>

#include "pemra_network/machine_status.h"

// The seven host callbacks. The first argument is always the device id the
// host gave to pemra_network_connect_printer; both arguments are the host's
// own copies.
//
// Every callback runs on the plug-in's network thread, synchronously, with no
// lock of the plug-in held. A callback may call any export of the same agent
// (connect, disconnect, requests, setters) except pemra_network_destroy_agent:
// destroy called from a callback logs an error and does nothing. A callback
// that blocks holds up every printer of the agent, so it should return
// promptly. A callback that throws is caught and logged by the plug-in.
using MachineStatusChangedFn = std::function<void(std::string device_id, MachineStatus status)>;
using TextArrivedFn = std::function<void(std::string device_id, std::string text)>;

using FileListArrivedFn = TextArrivedFn;     // whole reply text of the file listing
using FileMetaArrivedFn = TextArrivedFn;     // whole reply text of the metadata request
using PrintHistoryArrivedFn = TextArrivedFn; // whole reply text of a history page
using ErrorArrivedFn = TextArrivedFn;        // "Move out of range" or "Must home first"
using FileChangedFn = TextArrivedFn;         // empty text: the printer's files changed
using HistoryChangedFn = TextArrivedFn;      // empty text: the printer's history changed

// Callables handed to placeholder exports are released unread and never
// called; any std::function type has the same layout.
using UnusedCallable = std::function<void()>;
