// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The plug-in tests' names for the shared host-event recorder and its waits.

#include <chrono>

#include "testkit/host_events.h"

namespace test_host {

using namespace std::chrono_literals;
using testkit::eventually;
using testkit::HostEvent;
using testkit::HostEvents;
using testkit::is_live;
using testkit::is_offline;
using testkit::within;

}  // namespace test_host
