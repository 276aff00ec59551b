#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The dialler example and the simulator's panel side by side, on a private
# bus with the simulator: click in the panel, watch the phone screen follow.
# Takes a display; with QT_QPA_PLATFORM=offscreen it only proves they start.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
. scripts/privatebus.sh
privatebus_start "$build"
scenario=${1:-home}
"$build/tools/modemsim/ondrix-modemsim" ctl scenario "$scenario"
echo "demo-qml: the simulator plays $scenario; close both windows to end"
"$build/tools/panel/ondrix-modemsim-panel" &
panel=$!
qmlscene -I "$build/qml" examples/dialer/main.qml
kill "$panel" 2>/dev/null || true
