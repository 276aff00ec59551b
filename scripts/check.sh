#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Builds and runs every check: the plain build, the sanitizer build, the
# Qt 6 build, the Debian packages made from the plain builds (a consumer built
# against each), and the fuzz targets.
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

# The plain builds are configured for /usr, so the Debian packages are made
# from them and nothing is built twice.
build_and_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DCMAKE_INSTALL_PREFIX=/usr
echo "== API reference (a warning fails)"
cmake --build build --target docs
passed=$((passed + 1))
# Its tests carry their sanitizer settings themselves (tests/CMakeLists.txt).
build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DONDRIX_SANITIZE=ON -DBUILD_TESTING=ON

# The same sources against Qt 6: libondrix-qt6, installed beside the Qt 5 library.
build_and_test build-qt6 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DONDRIX_QT6=ON -DBUILD_TESTING=ON -DCMAKE_INSTALL_PREFIX=/usr

echo "== installed under another prefix, the programs find their library without help"
stage=$PWD/stage
rm -rf "$stage"
cmake --install build-asan --prefix "$stage" >/dev/null
readelf -d "$stage/lib/libondrix-qt.so.1" | grep 'SONAME.*libondrix-qt.so.1' >/dev/null
for program in ondrix ondrix-modemsim; do
  env -u LD_LIBRARY_PATH ASAN_OPTIONS=detect_leaks=0 "$stage/bin/$program" --help >/dev/null
done
passed=$((passed + 1))

echo "== Debian packages, Qt 5 and Qt 6: made, checked, unpacked side by side into a scratch root, built against"
tests/check-packages.sh build ondrix-qt build-qt6 ondrix-qt6
passed=$((passed + 1))

echo "== fuzz the codec's decoders"
scripts/fuzz.sh
passed=$((passed + $(ls -d fuzz/corpus/*/ | wc -l)))
echo "== all checks passed"
echo "check: $passed passed, 0 failed"
