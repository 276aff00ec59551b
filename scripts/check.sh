#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Builds and runs every check: the plain build, the sanitizer build, a
# consumer built against the installed tree, and the codec's fuzz targets.
set -euo pipefail
# A sanitizer's core is the size of its shadow memory: tens of gigabytes.
ulimit -c 0
cd "$(dirname "$0")/.."
jobs=$(nproc)

passed=0

build_and_test() {
  local dir=$1; shift
  echo "== build $dir"
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure -j"$jobs")
  passed=$((passed + $(cd "$dir" && ctest -N | sed -n 's/^Total Tests: //p')))
}

build_and_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
echo "== API reference (a warning fails)"
cmake --build build --target docs
passed=$((passed + 1))
# Its tests carry their sanitizer settings themselves (tests/CMakeLists.txt).
build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DONDRIX_SANITIZE=ON -DBUILD_TESTING=ON

# The same sources against Qt 6: libondrix-qt6, installed beside the Qt 5 library.
build_and_test build-qt6 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DONDRIX_QT6=ON -DBUILD_TESTING=ON

echo "== install both and build a consumer against each installed library"
stage=$PWD/stage
rm -rf "$stage"
cmake --install build --prefix "$stage" >/dev/null
cmake --install build-qt6 --prefix "$stage" >/dev/null
readelf -d "$stage/lib/libondrix-qt.so.1" | grep 'SONAME.*libondrix-qt.so.1' >/dev/null
readelf -d "$stage/lib/libondrix-qt6.so.1" | grep 'SONAME.*libondrix-qt6.so.1' >/dev/null
# Installed programs find their library without help.
env -u LD_LIBRARY_PATH "$stage/bin/ondrix" --help >/dev/null
env -u LD_LIBRARY_PATH "$stage/bin/ondrix-modemsim" --help >/dev/null
tests/consumer/build-consumer.sh "$stage" ondrix-qt
tests/consumer/build-consumer.sh "$stage" ondrix-qt6
passed=$((passed + 2))

echo "== Debian packages, Qt 5 and Qt 6: made, checked, unpacked side by side into a scratch root, built against"
scripts/debbuilds.sh
tests/check-packages.sh build-deb ondrix-qt build-deb-qt6 ondrix-qt6
passed=$((passed + 1))

echo "== fuzz the codec's decoders"
scripts/fuzz.sh
passed=$((passed + $(ls -d fuzz/corpus/*/ | wc -l)))
echo "== all checks passed"
echo "check: $passed passed, 0 failed"
