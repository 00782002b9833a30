// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The subscription to every object a printer names, built from the raw text
// of its printer.objects.list reply: the list
//   "objects":["webhooks","extruder","output_pin box_led"]
// becomes the parameter
//   "objects":{"webhooks":null,"extruder":null,"output_pin box_led":null}
// keeping the printer's order, spacing and exact names. When a name holds
// ',', '[' or ']' (a configuration section may) the text rewrite cannot be
// trusted, and the parameter is built from the parsed list instead.

#include <optional>
#include <string>
#include <string_view>

#include "status/json_read.h"

namespace pemra::protocol {

struct Subscription {
    std::optional<std::string> objects_param;  // empty: send nothing
    std::string_view why_not;                   // set when objects_param is empty
};

// `reply` is the parsed form of `reply_text`.
Subscription subscription_from_reply(std::string_view reply_text, json_read::Element reply);

}  // namespace pemra::protocol
