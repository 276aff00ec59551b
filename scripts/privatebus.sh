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
  PRIVATEBUS_BUILD=$build
  PRIVATEBUS_DIR=$(mktemp -d)
  trap privatebus_stop EXIT
  sed "s|@DIR@|$PRIVATEBUS_DIR|" "$(dirname "${BASH_SOURCE[0]}")/privatebus.conf" > "$PRIVATEBUS_DIR/bus.conf"
  # Both die with the shell that started them, however it ends.
  setpriv --pdeathsig KILL dbus-daemon --config-file="$PRIVATEBUS_DIR/bus.conf" --nofork \
    --print-address=3 3>"$PRIVATEBUS_DIR/address" 2>/dev/null &
  PRIVATEBUS_PID=$!
  # Bounds for a hang, not measures of speed: a loaded machine under the
  # sanitizers can take seconds for what takes milliseconds alone.
  for _ in $(seq 300); do
    [ -s "$PRIVATEBUS_DIR/address" ] && break
    sleep 0.1
  done
  DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$PRIVATEBUS_DIR/address")
  if [ -z "$DBUS_SYSTEM_BUS_ADDRESS" ]; then
    echo "privatebus: the bus did not come up" >&2
    return 1
  fi
  export DBUS_SYSTEM_BUS_ADDRESS
  setpriv --pdeathsig KILL "$build/tools/modemsim/ondrix-modemsim" "$@" &
  PRIVATEBUS_SIM_PID=$!
  for _ in $(seq 600); do
    "$build/tools/modemsim/ondrix-modemsim" ctl calls >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "privatebus: the simulator did not come up" >&2
  return 1
}

# Runs COMMAND until its output matches PATTERN (30 s at most) and prints that
# output; the last one, and status 1, when it never did.
until_matches() {   # until_matches PATTERN COMMAND...
  local pattern=$1 out; shift
  for _ in $(seq 300); do
    out=$("$@" 2>&1)
    grep -q -E -- "$pattern" <<<"$out" && { printf '%s\n' "$out"; return 0; }
    sleep 0.1
  done
  printf '%s\n' "$out"
  return 1
}

# Starts "ondrix ARG..." (a monitor) writing into FILE, and returns once it
# follows the daemons: another selection mode is emitted until it shows, then
# the daemon's own again. MONITOR_PID is the monitor's; MONITOR_SKIP counts the
# lines it wrote until then.
monitor_start() {   # monitor_start FILE ARG...
  local file=$1 sim=$PRIVATEBUS_BUILD/tools/modemsim/ondrix-modemsim own other before; shift
  "$PRIVATEBUS_BUILD/tools/ondrix/ondrix" "$@" >"$file" 2>&1 &
  MONITOR_PID=$!
  own=$("$sim" ctl get com.kelvo.hvt.CSNet.NetworkRegistration | sed -n 's/^SelectionMode = "\(.*\)"$/\1/p')
  [ "$own" = Manual ] && other=Auto || other=Manual
  before=0
  for mode in "$other" "$own"; do
    for _ in $(seq 300); do
      "$sim" ctl emit com.kelvo.hvt.CSNet.NetworkRegistration SelectionModeChanged "$mode"
      [ "$(grep -c -E 'selection\W' "$file")" -gt "$before" ] && break
      sleep 0.1
    done
    before=$(grep -c -E 'selection\W' "$file")
  done
  MONITOR_SKIP=$(wc -l <"$file")
}

# Ends the monitor monitor_start started.
monitor_stop() {
  kill "$MONITOR_PID" 2>/dev/null
  wait "$MONITOR_PID" 2>/dev/null
}
