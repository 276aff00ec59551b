#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Installs the Debian packages the project needs to build, test and demonstrate.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  qtbase5-dev qtbase5-dev-tools
  qtdeclarative5-dev qml-module-qttest qml-module-qtquick2 qml-module-qtquick-window2
  qml-module-qtquick-controls2 qml-module-qtquick-layouts qmlscene
  qt6-base-dev qt6-declarative-dev qml6-module-qttest qml6-module-qtquick qml6-module-qtquick-window
  qml6-module-qtquick-controls qml6-module-qtquick-templates qml6-module-qtquick-layouts
  qml6-module-qtqml-workerscript qml6-module-qtqml qml6-module-qtqml-models qtdeclarative5-dev-tools qt6-declarative-dev-tools
  dbus-daemon dbus-bin gdb libdbus-1-dev
  clang libclang-rt-14-dev
  libbenchmark-dev
  doxygen
  dpkg-dev groff-base man-db bash lintian
  valgrind bc
  python3-jsonschema
  ofono libqofono-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "deps: missing packages: ${missing[*]}; install them as root (apt-get install ${missing[*]})" >&2
  exit 1
fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
