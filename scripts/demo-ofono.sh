#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The library over a real oFono: the simulator as an AT modem, Debian's
# ofonod driving it, ondrix-ofono serving the daemons' interfaces from oFono,
# and the ondrix command on top; all on a private bus.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
. scripts/privatebus.sh
privatebus_start "$build" --at 0 --at-only
command -v ofonod >/dev/null || PATH=$PATH:/usr/sbin
command -v ofonod >/dev/null || { echo "demo-ofono: ofonod is not installed (scripts/deps.sh installs it)" >&2; exit 1; }

ondrix="$build/tools/ondrix/ondrix"
sim="$build/tools/modemsim/ondrix-modemsim"
step() { printf '\n== %s\n' "$*"; }
ofono() { dbus-send --system --print-reply --dest=org.ofono "$@"; }

address=$(dbus-send --system --print-reply=literal --dest=org.ondrix.ModemSim /org/ondrix/ModemSim \
          org.ondrix.ModemSim.Control.AtAddress | tr -d ' ')
printf '[phonesim]\nAddress=%s\nPort=%s\n' "${address%:*}" "${address##*:}" > "$PRIVATEBUS_DIR/phonesim.conf"
# ofonod in a mount namespace of its own with an empty storage: nothing of
# the machine's oFono is read or written; it dies with this script.
OFONO_PHONESIM_CONFIG=$PRIVATEBUS_DIR/phonesim.conf unshare -rm sh -c \
  'mount -t tmpfs none /var/lib/ofono && exec setpriv --pdeathsig KILL ofonod -n -p phonesim,atmodem' \
  >"$PRIVATEBUS_DIR/ofonod.log" 2>&1 &
until ofono / org.ofono.Manager.GetModems 2>/dev/null | grep -q /phonesim; do sleep 0.1; done
step "oFono found the simulator's AT modem at $address: power and radio on"
ofono /phonesim org.ofono.Modem.SetProperty string:Powered variant:boolean:true >/dev/null
until ofono /phonesim org.ofono.Modem.SetProperty string:Online variant:boolean:true >/dev/null 2>&1; do sleep 0.2; done

step "ondrix-ofono serves the daemons' interfaces from oFono"
setpriv --pdeathsig KILL "$build/tools/ofono/ondrix-ofono" &
until "$ondrix" status 2>/dev/null | grep -q 'network: *AtHome'; do sleep 0.2; done

step "ondrix status   (oFono's registration, operator and signal through the bridge)"
"$ondrix" status
step "ondrix cell; ondrix sim identity; ondrix info"
"$ondrix" cell
"$ondrix" sim identity
"$ondrix" info
step "ondrix monitor while the simulator's signal falls, the phone changes cell and goes abroad"
"$ondrix" monitor --seconds 5 &
monitor=$!
sleep 1
"$sim" ctl signal -97
"$sim" ctl set com.kelvo.hvt.CSNet.NetworkCell CellId i:7012
sleep 1
"$sim" ctl register Roaming 248 01 Baltic
sleep 1
"$sim" ctl register Home 244 05 Ondrix
wait "$monitor" || true
step "ondrix operators, ondrix select 3   (oFono refuses the forbidden network)"
"$ondrix" operators
"$ondrix" select 3 || true
step "ondrix ussd '*100#'   (oFono's USSD)"
"$ondrix" ussd '*100#'
step "ondrix ss divert set busy +358401234567; ondrix ss divert status busy"
"$ondrix" ss divert set busy +358401234567
"$ondrix" ss divert status busy
step "ondrix power off; ondrix power on   (oFono's Online)"
"$ondrix" power off
"$ondrix" power on
step "the AT conversation oFono had with the simulator (ondrix-modemsim ctl calls, last lines)"
"$sim" ctl calls | grep '^AT\.' | tail -n 8
