#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Makes the Debian packages of builds configured with -DCMAKE_INSTALL_PREFIX=/usr
# (the Qt 5 and the Qt 6 one), checks what each package holds and what lintian
# says of it, unpacks all of them into one scratch root, where no file may
# belong to two packages, and builds the consumer against each library there
# and runs the client from it.
# usage: check-packages.sh BUILD_DIR ondrix-qt|ondrix-qt6 [BUILD_DIR LIBRARY ...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir "$root/tree"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
all=()
libraries=()

check_build() {   # check_build BUILD_DIR LIBRARY
    build=$(cd "$1" && pwd)
    library=$2
    libraries+=("$library")
    "$here/../scripts/debs.sh" "$build" >"$root/cpack.log" 2>&1 || { cat "$root/cpack.log"; exit 1; }
    debs=("$build"/*.deb)
    ddebs=("$build"/*.ddeb)
    all+=("${debs[@]}")

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
        holds ondrix-tools 'man1/ondrix.1.gz$'
        holds ondrix-tools 'man1/ondrix-modemsim.1.gz$'
        holds ondrix-tools 'completions/ondrix$'
        holds ondrix-tools 'ondrix-qt/ondrix.schema.json$'
        holds ondrix-tools 'ondrix-modemsim.conf$'
        holds ondrix-tools 'scenarios/roaming-abroad.scenario$'
        holds ondrix-modemsim-panel 'usr/bin/ondrix-modemsim-panel$'
        holds ondrix-modemsim-panel 'man1/ondrix-modemsim-panel.1.gz$'
        # The tools run on a headless machine: no Qt Quick for them.
        tools_depends=$(dpkg-deb -f "$build"/ondrix-tools_*.deb Depends)
        [[ $tools_depends != *qtquick* && $tools_depends != *libQt5Quick* && $tools_depends != *libqt5quick* ]] \
            || fail "ondrix-tools depends on Qt Quick: $tools_depends"
        holds libondrix-qt-dev 'share/dbus-1/interfaces/com.kelvo.hvt.SIM.Security.xml$'
        holds libvrx-standin 'libvrx.so.1 -> '
        holds ondrix-ofono 'usr/bin/ondrix-ofono$'
        holds ondrix-ofono 'man1/ondrix-ofono.1.gz$'
        holds ondrix-ofono 'dbus-1/system.d/ondrix-ofono.conf$'
        holds ondrix-ofono 'systemd/system/ondrix-ofono.service$'
        holds ondrix-ofono 'sysusers.d/ondrix-ofono.conf$'
        holds ondrix-ofono 'doc/ondrix-ofono/ofono.md$'
        holds ondrix-ofono 'completions/ondrix-ofono$'
        holds libvrx-standin 'include/vrx.h$'
        qml=qml-module-ondrix
        [ ${#debs[@]} = 7 ] || fail "expected 7 packages, made ${#debs[@]}"
    else
        runtime=libondrix-qt6-1 dev=libondrix-qt6-dev qml=qml6-module-ondrix
        [ ${#debs[@]} = 3 ] || fail "expected 3 packages, made ${#debs[@]}"
    fi
    [ ${#ddebs[@]} = ${#debs[@]} ] || [ ${#ddebs[@]} = $((${#debs[@]} - 1)) ] \
        || fail "expected a debug-symbol package for each package with binaries, made ${#ddebs[@]}"
    holds "$runtime" "lib$library.so.1 -> "
    holds "$qml" 'qml/Ondrix/qmldir'
    holds "$qml" 'qml/Ondrix/libondrixplugin.so'
    holds "$dev" "lib$library.so -> "
    holds "$dev" 'include/.*/networkregistration.h'
    holds "$dev" "pkgconfig/$library.pc"
    holds "$dev" 'Config.cmake$'
    # Applications need the oldest version with what they use; everything is stripped.
    shlibs=$(dpkg-deb --ctrl-tarfile "$build/${runtime}_"*.deb | tar -xO ./shlibs)
    [ "$shlibs" = "lib$library 1 $runtime (>= 1.0.0)" ] || fail "$runtime shlibs: $shlibs"
    # pkg-config gives what a compiler wants to read: the prefix, not a path back up to it.
    pc=$(dpkg-deb --fsys-tarfile "$build/${dev}_"*.deb | tar -xO --wildcards "*/pkgconfig/$library.pc")
    grep -q '^prefix=/usr$' <<<"$pc" || fail "$library.pc names no /usr prefix"
    size=$(dpkg-deb -f "$build/${runtime}_"*.deb Installed-Size)
    [ "$size" -lt 4000 ] || fail "$runtime takes $size kB: not stripped?"
    # Lintian, as a distribution runs it: no error and no warning (overrides
    # are in the packages, each with its reason).
    for deb in "${debs[@]}" "${ddebs[@]}"; do
        said=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -E '^[EW]: ' || true)
        [ -z "$said" ] || fail "lintian on ${deb##*/}: $said"
    done
    for deb in "${debs[@]}"; do
        name=$(dpkg-deb -f "$deb" Package)
        holds "$name" "usr/share/doc/$name/copyright$"
        holds "$name" "usr/share/doc/$name/changelog.Debian.gz$"
        [ "$name" = "$runtime" ] && { dpkg-deb -f "$deb" Depends | grep libqt >/dev/null || fail "$runtime does not depend on Qt"; }
        [ "$name" = "$dev" ] && { dpkg-deb -f "$deb" Depends | grep "$runtime (= " >/dev/null || fail "$dev does not depend on $runtime"; }
    done
    return 0
}

while [ $# -ge 2 ]; do
    check_build "$1" "$2"
    shift 2
done

# Side by side: what dpkg would refuse to install together is a file that
# two packages hold.
for deb in "${all[@]}"; do
    dpkg-deb -c "$deb" | awk -v p="$(dpkg-deb -f "$deb" Package)" '$1 !~ /^d/ { print $6, p }'
done | sort | awk '$1 == last { print "FAIL: " $1 " is in " lastp " and " $2 } { last = $1; lastp = $2 }' >"$root/clashes"
[ -s "$root/clashes" ] && { cat "$root/clashes"; failures=$((failures + 1)); }
for deb in "${all[@]}"; do
    dpkg-deb -x "$deb" "$root/tree"
done
[ $failures = 0 ] || exit 1

for library in "${libraries[@]}"; do
    "$here/consumer/build-consumer.sh" "$root/tree/usr" "$library"
done
# The client from the unpacked tree, its library found where the system's
# loader finds it once installed, says the daemon is absent.
set +e
out=$(LD_LIBRARY_PATH="$root/tree/usr/lib/$(gcc -print-multiarch)" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$root/no-bus" \
      "$root/tree/usr/bin/ondrix" status 2>&1)
rc=$?
set -e
[ "$rc" = 1 ] && grep -E '^daemon: +absent$' <<<"$out" >/dev/null || { echo "FAIL: ondrix from the packages: $out"; exit 1; }
echo "packages: ${all[*]##*/}"
