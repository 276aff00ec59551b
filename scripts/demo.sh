#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
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
step "ondrix operators   (a scan takes the modem a few seconds)"
"$ondrix" operators
step "ondrix select 1   (register by hand to Nordic Wave: searching, then roaming)"
"$ondrix" select 1
step "ondrix select 3   (a forbidden network: the modem refuses with its reject cause)"
"$ondrix" select 3 || true
step "ondrix select auto   (back to the home network)"
"$ondrix" select auto
step "ondrix status"
"$ondrix" status
step "ondrix smsc   (the service centre number on the SIM)"
"$ondrix" smsc
step "ondrix sms count: the counter under a message editor"
"$ondrix" sms count "Hyvää huomenta! Meet at 10 € ☕"
step "ondrix sms encode, then decode the PDUs again"
pdus=$("$ondrix" sms encode --to +358401234567 --ref 7 "$(printf 'A long message. %.0s' $(seq 12))")
echo "$pdus"
"$ondrix" sms decode $pdus | sed -n '/== message/,$p'
step "the SIM card restarts and asks for its PIN (ondrix-modemsim ctl sim state PINRequired)"
"$sim" ctl sim state PINRequired
"$ondrix" sim status
step "a wrong PIN first (codes come from the terminal or standard input, never the command line)"
echo 0000 | "$ondrix" sim unlock || true
step "then the right one"
echo 1234 | "$ondrix" sim unlock
"$ondrix" sim status
step "ondrix sim phonebook list   (the contacts on the SIM)"
"$ondrix" sim phonebook list
step "ondrix sim identity"
"$ondrix" sim identity
step "ondrix ss divert set no-reply +358405200000 25   (calls not answered in 25 s go to voice mail)"
"$ondrix" ss divert set no-reply +358405200000 25
step "ondrix ss divert status conditional   (read back from the network)"
"$ondrix" ss divert status conditional
step "ondrix dial '*100#'   (not a service code of the phone: a USSD balance query)"
"$ondrix" dial '*100#'
step "ondrix info   (IMEI, software, emergency numbers, call timers)"
"$ondrix" info
step "ondrix monitor while the phone moves to another cell and a call runs for two seconds"
"$ondrix" monitor --seconds 4 &
monitor=$!
sleep 1
"$sim" ctl set com.kelvo.hvt.CSNet.NetworkCell CellName s:Ruoholahti
"$sim" ctl set com.kelvo.hvt.CSNet.NetworkCell CellId i:7012
"$sim" ctl call start
sleep 2
"$sim" ctl call end
wait "$monitor" || true
step "ondrix select 2, then ondrix time   (a network abroad sends its time report)"
"$ondrix" select 2 >/dev/null
"$ondrix" time
"$ondrix" select auto >/dev/null
step "ondrix monitor while the roaming-abroad scenario plays five times as fast (ctl scenario)"
"$ondrix" monitor --seconds 3 &
monitor=$!
sleep 0.5
"$sim" ctl scenario scenarios/roaming-abroad.scenario 5
wait "$monitor" || true
"$sim" ctl reset
step "the controller refuses the next power request:"
"$sim" ctl script com.kelvo.YKM.Modem RequestRadio \
  error=com.kelvo.YKM.Modem.Error.Refused "message=radio locked by policy"
"$ondrix" power off || true
step "the last calls the simulator received (ondrix-modemsim ctl calls)"
"$sim" ctl calls | tail -n 6
step "the QML dialler (examples/dialer): status bar, PIN dialog, networks, USSD, SMS counter"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && command -v qmlscene >/dev/null; then
  echo "close its window to end the demo"
  qmlscene -I "$build/qml" examples/dialer/main.qml || true
else
  echo "no display here. On a desktop, with the simulator on your session bus:"
  echo "  $sim --session &"
  echo "  DBUS_SYSTEM_BUS_ADDRESS=\$DBUS_SESSION_BUS_ADDRESS qmlscene -I $build/qml examples/dialer/main.qml"
fi
