# SPDX-License-Identifier: LGPL-2.1-or-later
# Sourced by the scripts that need a bus of their own: starts a private bus
# standing in for the phone's system bus and the modem simulator on it, and
# stops both when the sourcing shell exits.
#   privatebus_start BUILD_DIR [SIMULATOR OPTION...]

privatebus_stop() {
  [ -n "${PRIVATEBUS_SIM_PID:-}" ] && kill "$PRIVATEBUS_SIM_PID" 2>/dev/null && wait "$PRIVATEBUS_SIM_PID" 2>/dev/null
  [ -n "${PRIVATEBUS_PID:-}" ] && kill "$PRIVATEBUS_PID" 2>/dev/null
  [ -n "${PRIVATEBUS_DIR:-}" ] && rm -rf "$PRIVATEBUS_DIR"
  PRIVATEBUS_SIM_PID= PRIVATEBUS_PID= PRIVATEBUS_DIR=
}

privatebus_start() {
  local build=$1; shift
  PRIVATEBUS_DIR=$(mktemp -d)
  trap privatebus_stop EXIT
  sed "s|@DIR@|$PRIVATEBUS_DIR|" "$(dirname "${BASH_SOURCE[0]}")/privatebus.conf" > "$PRIVATEBUS_DIR/bus.conf"
  # Both die with the shell that started them, however it ends.
  setpriv --pdeathsig KILL dbus-daemon --config-file="$PRIVATEBUS_DIR/bus.conf" --nofork \
    --print-address=3 3>"$PRIVATEBUS_DIR/address" 2>/dev/null &
  PRIVATEBUS_PID=$!
  for _ in $(seq 100); do
    [ -s "$PRIVATEBUS_DIR/address" ] && break
    sleep 0.05
  done
  DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$PRIVATEBUS_DIR/address")
  if [ -z "$DBUS_SYSTEM_BUS_ADDRESS" ]; then
    echo "privatebus: the bus did not come up" >&2
    return 1
  fi
  export DBUS_SYSTEM_BUS_ADDRESS
  setpriv --pdeathsig KILL "$build/tools/modemsim/ondrix-modemsim" "$@" &
  PRIVATEBUS_SIM_PID=$!
  for _ in $(seq 100); do
    "$build/tools/modemsim/ondrix-modemsim" ctl calls >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "privatebus: the simulator did not come up" >&2
  return 1
}
