#!/bin/sh
# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# The plug-in links Boost and simdjson in (see cmake/PemraStaticDeps.cmake),
# made from Debian's own source packages of the installed versions, outside
# the source tree:
#
#   $PEMRA_DEPS_DIR/simdjson-<version>/   simdjson's source (compiled by our build)
#   $PEMRA_DEPS_DIR/boost-<version>-pic/  Boost's compiled libraries that the
#                                          plug-in uses, static and position
#                                          independent (Debian's own archives
#                                          are not, so no shared library can
#                                          take them in)
#
# Source entries for the Debian mirror apt already uses are added when apt
# has none. Run as root; does nothing when everything is in place.
set -eu

DEPS_DIR="${PEMRA_DEPS_DIR:-/usr/local/src/pemra-network}"
# What the plug-in links; b2 adds what these need (atomic, chrono, regex...).
BOOST_LIBRARIES="log filesystem thread"

source_version() {  # the source package and version of an installed package
    dpkg-query -W -f='${source:Package} ${source:Version}' "$1"
}
upstream_of() {  # 1.74.0+ds1-21 -> 1.74.0+ds1
    echo "$1" | sed 's/-[^-]*$//'
}

set -- $(source_version libsimdjson-dev)
simdjson_package=$1 simdjson_version=$2
simdjson_dir="$DEPS_DIR/$simdjson_package-$(upstream_of "$simdjson_version")"
# libboost-log-dev is the default-version package; the sources are its target's.
set -- $(dpkg-query -W -f='${Depends}' libboost-log-dev | sed 's/.*\(libboost-log[0-9.]*-dev\).*/\1/' | xargs -I{} dpkg-query -W -f='${source:Package} ${source:Version}' {})
boost_package=$1 boost_version=$2
boost_upstream=$(upstream_of "$boost_version")
boost_source="$DEPS_DIR/$boost_package-$boost_upstream"
boost_pic="$DEPS_DIR/boost-$boost_upstream-pic"

if [ -f "$simdjson_dir/singleheader/simdjson.cpp" ] && [ -f "$boost_pic/done" ]; then
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "The libraries the plug-in links in are not built yet. Run:"
    echo "  sudo $0"
    exit 1
fi

has_source_entries() {
    apt-get source --print-uris -qq "$simdjson_package=$simdjson_version" >/dev/null 2>&1
}
if ! has_source_entries; then
    # deb-src twins of apt's own Debian entries, same mirror, same suites.
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            > /etc/apt/sources.list.d/pemra-network-src.sources
    elif [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list \
            > /etc/apt/sources.list.d/pemra-network-src.list
    fi
    apt-get update -qq
fi

mkdir -p "$DEPS_DIR"
cd "$DEPS_DIR"
if [ ! -f "$simdjson_dir/singleheader/simdjson.cpp" ]; then
    echo "Unpacking Debian's source of $simdjson_package $simdjson_version in $DEPS_DIR"
    rm -rf "$simdjson_dir"
    apt-get source -qq "$simdjson_package=$simdjson_version"
fi

if [ ! -f "$boost_pic/done" ]; then
    if [ ! -x "$boost_source/bootstrap.sh" ]; then
        echo "Unpacking Debian's source of $boost_package $boost_version in $DEPS_DIR"
        rm -rf "$boost_source"
        apt-get source -qq "$boost_package=$boost_version"
    fi
    echo "Building Boost ($BOOST_LIBRARIES) static and position independent, in $boost_pic"
    cd "$boost_source"
    if [ ! -x ./b2 ]; then
        # Debian's source leaves out the build tool's generated parser (as
        # Debian's own build does, it is made again with bison).
        (cd tools/build && bison -y -d -o src/engine/jamgram.cpp src/engine/jamgram.y)
        ./bootstrap.sh --with-toolset=gcc >/dev/null || { tail -20 bootstrap.log; exit 1; }
    fi
    with=""
    for l in $BOOST_LIBRARIES; do with="$with --with-$l"; done
    # shellcheck disable=SC2086
    ./b2 -j2 -d0 --stagedir="$boost_pic" --build-dir="$boost_source/pic-build" $with \
        variant=release link=static threading=multi runtime-link=shared visibility=hidden \
        cxxflags=-fPIC cflags=-fPIC stage
    rm -rf "$boost_source/pic-build"
    echo "$boost_package $boost_version" > "$boost_pic/done"
fi
