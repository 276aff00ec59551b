#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Makes the Debian packages of a build configured with -DCMAKE_INSTALL_PREFIX=/usr,
# checks what each one holds, unpacks them into a scratch root and builds the
# consumer against that root.
# usage: check-packages.sh BUILD_DIR [ondrix-qt|ondrix-qt6]
set -euo pipefail
build=$(cd "$1" && pwd)
library=${2:-ondrix-qt}
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

(cd "$build" && rm -f ./*.deb && cpack -G DEB >"$root/cpack.log" 2>&1) || { cat "$root/cpack.log"; exit 1; }
mkdir "$root/tree"
debs=("$build"/*.deb)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Which package holds a path (a grep pattern): exactly the one named.
holds() {
    local package=$1 pattern=$2 deb
    for deb in "${debs[@]}"; do
        local name
        name=$(dpkg-deb -f "$deb" Package)
        if dpkg-deb -c "$deb" | grep -c -- "$pattern" >/dev/null; then
            [ "$name" = "$package" ] || fail "$name holds $pattern (it belongs in $package)"
        elif [ "$name" = "$package" ]; then
            fail "$package lacks $pattern"
        fi
    done
}

if [ "$library" = ondrix-qt ]; then
    runtime=libondrix-qt1 dev=libondrix-qt-dev
    holds ondrix-tools 'usr/bin/ondrix$'
    holds ondrix-tools 'usr/bin/ondrix-modemsim$'
    holds ondrix-tools 'man1/ondrix.1'
    holds ondrix-tools 'man1/ondrix-modemsim.1'
    holds ondrix-tools 'completions/ondrix$'
    holds ondrix-tools 'ondrix-modemsim.conf$'
    holds ondrix-tools 'scenarios/roaming-abroad.scenario$'
    holds libondrix-qt-dev 'share/dbus-1/interfaces/com.kelvo.hvt.SIM.Security.xml$'
    [ ${#debs[@]} = 3 ] || fail "expected 3 packages, made ${#debs[@]}"
else
    runtime=libondrix-qt6-1 dev=libondrix-qt6-dev
    [ ${#debs[@]} = 2 ] || fail "expected 2 packages, made ${#debs[@]}"
fi
holds "$runtime" "lib$library.so.1 -> "
holds "$runtime" 'qml/Ondrix/qmldir'
holds "$dev" "lib$library.so -> "
holds "$dev" 'include/.*/networkregistration.h'
holds "$dev" "pkgconfig/$library.pc"
holds "$dev" 'Config.cmake$'
for deb in "${debs[@]}"; do
    name=$(dpkg-deb -f "$deb" Package)
    [ "$name" = "$runtime" ] && { dpkg-deb -f "$deb" Depends | grep -q libqt || fail "$runtime does not depend on Qt"; }
    [ "$name" = "$dev" ] && { dpkg-deb -f "$deb" Depends | grep -q "$runtime (= " || fail "$dev does not depend on $runtime"; }
    dpkg-deb -x "$deb" "$root/tree"
done
[ $failures = 0 ] || exit 1

"$here/consumer/build-consumer.sh" "$root/tree/usr" "$library"
echo "packages: ${debs[*]##*/}"
