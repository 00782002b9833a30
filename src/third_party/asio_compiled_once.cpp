// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Boost.Asio's non-template code, compiled in this one translation unit for
// every target that uses Asio (BOOST_ASIO_SEPARATE_COMPILATION is set for them).
#include <boost/asio/impl/src.hpp>
