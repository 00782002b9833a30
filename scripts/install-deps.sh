#!/bin/sh
# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# Installs the Debian 12 packages the build needs when some are missing (as
# root), or prints the one command that would (as anyone else); then makes
# the libraries the plug-in links in from Debian's own source packages.
set -eu

PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev binutils pkg-config \
libboost-dev libboost-log-dev libboost-filesystem-dev libboost-nowide-dev \
libboost-system-dev libboost-thread-dev libwebsocketpp-dev nlohmann-json3-dev libsimdjson-dev \
libgtest-dev libgmock-dev libbenchmark-dev ccache dpkg-dev file g++-mingw-w64-x86-64-posix bison"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Run:"
        echo "  sudo apt-get install -y --no-install-recommends$missing"
        echo "  sudo $0"
        exit 1
    fi
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq || true
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
fi

exec "$(dirname "$0")/build-bundled-deps.sh"
