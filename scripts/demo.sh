#!/usr/bin/env bash
# Shows the library at work against the simulator on a private bus.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
. scripts/privatebus.sh
privatebus_start "$build"

ondrix="$build/tools/ondrix/ondrix"
sim="$build/tools/modemsim/ondrix-modemsim"
step() { printf '\n== %s\n' "$*"; }

step "ondrix status"
"$ondrix" status
step "ondrix power off   (the modem switches the radio off and loses service)"
"$ondrix" power off
step "ondrix status"
"$ondrix" status
step "ondrix power on"
"$ondrix" power on
step "the controller refuses the next request:"
"$sim" ctl script com.kelvo.YKM.Modem RequestRadio \
  error=com.kelvo.YKM.Modem.Error.Refused "message=radio locked by policy"
"$ondrix" power off || true
step "what the simulator received"
"$sim" ctl calls
