#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The builds the Debian packages are made from: the product only, for /usr,
# against Qt 5 (build-deb) and Qt 6 (build-deb-qt6).
set -euo pipefail
cd "$(dirname "$0")/.."
for qt6 in OFF ON; do
  dir=build-deb$([ $qt6 = ON ] && echo -qt6 || true)
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
    -DONDRIX_QT6=$qt6 >/dev/null
  cmake --build "$dir" -j"$(nproc)"
done
