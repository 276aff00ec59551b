#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Makes the Debian packages of a build configured with -DCMAKE_INSTALL_PREFIX=/usr,
# and mends the debug-symbol packages CPack writes beside them: their md5sums
# name the staging directory instead of the package's files, and they lack the
# documentation link every package has.
# usage: debs.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
cd "$build"
rm -f ./*.deb ./*.ddeb
log=$(mktemp)
trap 'rm -f "$log"' EXIT
cpack -G DEB >"$log" 2>&1 || { cat "$log"; exit 1; }
for ddeb in ./*.ddeb; do
  [ -e "$ddeb" ] || continue
  work=$(mktemp -d)
  dpkg-deb -R "$ddeb" "$work/root"
  package=$(dpkg-deb -f "$ddeb" Package)
  main=${package%-dbgsym}
  mkdir -p "$work/root/usr/share/doc"
  ln -s "$main" "$work/root/usr/share/doc/$package"
  (cd "$work/root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$work/root/DEBIAN/md5sums"
  # Debug files are data: not executable.
  find "$work/root/usr/lib/debug" -type f -exec chmod 0644 {} +
  dpkg-deb --root-owner-group -Zxz -b "$work/root" "$ddeb" >/dev/null
  rm -rf "$work"
done
ls ./*.deb ./*.ddeb
