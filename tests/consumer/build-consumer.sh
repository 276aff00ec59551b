#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Builds the consumer program against an installed tree, once through the
# CMake package and once through pkg-config (C++ and C), and runs them.
set -euo pipefail
prefix=$(cd "$1" && pwd)
library=${2:-ondrix-qt}   # or ondrix-qt6
package=OndrixQt${library#ondrix-qt}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# No daemon on this address: the program must start and report it absent.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-bus
# A tree installed under /usr keeps its libraries in the multiarch directory.
libdir=$prefix/lib
multiarch=$(gcc -print-multiarch)
[ -d "$prefix/lib/$multiarch/pkgconfig" ] && libdir=$prefix/lib/$multiarch
# Building needs nothing but the package files; running, the library's directory.
unset LD_LIBRARY_PATH
# The .pc file names the prefix it was built for; a tree unpacked elsewhere
# gets a copy that names the tree (the other packages' files stay the system's).
mkdir "$work/pkgconfig"
sed "s|^prefix=.*|prefix=$prefix|" "$libdir/pkgconfig/$library.pc" > "$work/pkgconfig/$library.pc"
export PKG_CONFIG_PATH=$work/pkgconfig
run() { LD_LIBRARY_PATH=$libdir "$@"; }

cmake -S "$here" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DONDRIX_PACKAGE="$package" \
  -DONDRIX_LIBRARY="$library" >/dev/null
cmake --build "$work/cmake" >/dev/null
run "$work/cmake/consumer" 2>/dev/null | grep -q 'consumer: valid=0'

g++ -std=c++17 -fPIC "$here/consumer.cpp" -o "$work/pc-consumer" \
  $(pkg-config --cflags --libs "$library")
run "$work/pc-consumer" 2>/dev/null | grep -q 'consumer: valid=0'
# The codec from plain C.
cc -std=c99 -pedantic -Werror "$here/../c_check.c" -o "$work/c-consumer" \
  $(pkg-config --cflags --libs "$library")
run "$work/c-consumer" | grep -q 'c_check: OK'
echo "consumer: built and ran against $library through the CMake package and through pkg-config"
