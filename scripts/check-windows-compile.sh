#!/bin/sh
# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# Compiles every source file of the plug-in for Windows x86-64 with
# MinGW-w64, warnings as errors, into objects in OUT_DIR (nothing is linked:
# Debian has no Boost libraries for Windows). The third-party headers are
# the ones the Linux build uses, reached through a folder of links to them
# alone, so that no Linux system header can stand in for a Windows one.
#
#   scripts/check-windows-compile.sh [OUT_DIR]     (default build-windows)
set -eu

cd "$(dirname "$0")/.."
OUT_DIR="${1:-build-windows}"
CXX="${PEMRA_MINGW_CXX:-x86_64-w64-mingw32-g++-posix}"
JOBS="${PEMRA_MINGW_JOBS:-2}"

if ! command -v "$CXX" >/dev/null; then
    echo "$CXX is missing: run scripts/install-deps.sh (package g++-mingw-w64-x86-64-posix)" >&2
    exit 1
fi
if command -v ccache >/dev/null; then
    CXX="ccache $CXX"
fi

headers="$OUT_DIR/third-party-include"
rm -rf "$headers"
mkdir -p "$headers" "$OUT_DIR/obj"
for h in boost websocketpp simdjson.h; do
    ln -s "/usr/include/$h" "$headers/$h"
done

# Windows 10 (1607) and later: SetThreadDescription names threads.
FLAGS="-std=c++17 -O0 -Wall -Wextra -Wpedantic -Wshadow=local -Werror \
-D_WIN32_WINNT=0x0A00 -DPEMRA_NETWORK_BUILDING -DBOOST_ASIO_SEPARATE_COMPILATION \
-DSIMDJSON_THREADS_ENABLED=1 -Iinclude -Isrc -isystem $headers"

export CXX FLAGS OUT_DIR
status=0
find src -name '*.cpp' | sort | xargs -P "$JOBS" -I{} sh -c '
    object="$OUT_DIR/obj/$(echo "{}" | tr / _).obj"
    # shellcheck disable=SC2086
    $CXX $FLAGS -c "{}" -o "$object" || { echo "FAILED for Windows: {}" >&2; exit 1; }
' || status=$?

count=$(find "$OUT_DIR/obj" -name '*.obj' | wc -l)
if [ "$status" -ne 0 ]; then
    echo "Windows compile check failed" >&2
    exit 1
fi
echo "Windows x86-64: $count source files compiled, no warnings"
