#!/bin/sh
# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# Installs the Debian 12 packages the build needs when some are missing (as
# root), or prints the one command that would (as anyone else).
set -eu

PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev binutils pkg-config \
libboost-dev libboost-log-dev libboost-filesystem-dev libboost-nowide-dev \
libboost-system-dev libboost-thread-dev libwebsocketpp-dev nlohmann-json3-dev libsimdjson-dev \
libgtest-dev libgmock-dev libbenchmark-dev ccache dpkg-dev file"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Run:"
    echo "  sudo apt-get install -y --no-install-recommends$missing"
    exit 1
fi

echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq || true
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing
