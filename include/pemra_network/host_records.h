// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include <cstdint>
#include <string>

// Records the host passes to placeholder exports. The plug-in never reads
// them; only their layout has to match the host's declarations, so the
// members carry neutral names.
struct PrintJobRecord {
    std::string text_01, text_02, text_03, text_04, text_05, text_06;
    std::int64_t value_1 = 0;
    std::string text_07, text_08, text_09, text_10, text_11, text_12, text_13;
    std::int64_t value_2 = 0;
    std::string text_14, text_15, text_16, text_17, text_18;
    std::int64_t value_3 = 0;
    std::string text_19, text_20;
    std::int64_t value_4 = 0;
    std::string text_21, text_22;
};

struct PublishRecord {
    std::string text_1, text_2, text_3, text_4, text_5, text_6;
};
