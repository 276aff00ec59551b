#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The shipped D-Bus policy on a bus that denies by default, as a system bus
# does: applications of any user reach the daemons' interfaces; only root and
# the user the policy names drive the simulator's control interface or own
# the daemons' names; the call log keeps no code.
# usage: test-policy.sh SOURCE_DIR BUILD_DIR   (as root; skipped otherwise)
set -u
src=$1 build=$2
[ "$(id -u)" = 0 ] || { echo "skipped: the policy is tried as other users, which needs root"; exit 77; }
developer=daemon   # stands for the developer the policy names
outsider=nobody

dir=$(mktemp -d /tmp/ondrix-policy.XXXXXX)
chmod 755 "$dir"
sim_pid= bus_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

sed "s/\"ondrix-dev\"/\"$developer\"/" "$src/tools/modemsim/ondrix-modemsim.conf" > "$dir/ondrix-modemsim.conf"
cat > "$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Introspectable"/>
  </policy>
  <include>$dir/ondrix-modemsim.conf</include>
</busconfig>
CONF
# Both die with this script, however it ends.
setpriv --pdeathsig KILL dbus-daemon --config-file="$dir/bus.conf" --nofork 2>"$dir/bus.log" &
bus_pid=$!
for _ in $(seq 300); do   # a bound for a hang: a loaded machine is slow
  [ -S "$dir/bus" ] && break
  sleep 0.1
done
[ -S "$dir/bus" ] || { cat "$dir/bus.log"; exit 1; }
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/bus
setpriv --pdeathsig KILL "$build/tools/modemsim/ondrix-modemsim" --instant --at 0 2>"$dir/sim.log" &
sim_pid=$!
for _ in $(seq 600); do
  "$build/tools/modemsim/ondrix-modemsim" ctl calls >/dev/null 2>&1 && break
  sleep 0.1
done

passed=0 failed=0
check() {   # check NAME EXPECTED(allowed|denied) USER DBUS-SEND-ARGS...
  local name=$1 expected=$2 user=$3; shift 3
  local out
  out=$(runuser -u "$user" -- env DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" \
        dbus-send --system --print-reply "$@" 2>&1)
  local got=allowed
  grep -q 'AccessDenied' <<<"$out" && got=denied
  if [ "$got" = "$expected" ]; then passed=$((passed + 1))
  else failed=$((failed + 1)); echo "FAIL: $name as $user: $got, not $expected: $out"; fi
}
control() { echo --dest=org.ondrix.ModemSim /org/ondrix/ModemSim "org.ondrix.ModemSim.Control.$1"; }

# What an application does, for every interface the library uses.
while read -r service path interface; do
  check "properties of $interface" allowed "$outsider" --dest="$service" "$path" \
    org.freedesktop.DBus.Properties.GetAll "string:$interface"
  check "introspection of $path" allowed "$outsider" --dest="$service" "$path" \
    org.freedesktop.DBus.Introspectable.Introspect
done < <(sed -n 's/^ *{"\(com\.kelvo[^"]*\)", "\([^"]*\)", "\([^"]*\)"},$/\1 \2 \3/p' "$src/src/members.h")
[ "$passed" -ge 36 ] || { failed=$((failed + 1)); echo "FAIL: the library's bus names were not found in src/members.h"; }
check "a PIN to the card" allowed "$outsider" --dest=com.kelvo.hvt.SIM /com/kelvo/hvt/sim \
  com.kelvo.hvt.SIM.Security.VerifyPIN string:pin string:1234
check "a USSD request" allowed "$outsider" --dest=com.kelvo.hvt.SS /com/kelvo/hvt/ss \
  com.kelvo.hvt.SS.USSD.Command 'string:*100#' string:

# The control interface and the names: root and the developer only.
for user in "$outsider" "$developer" root; do
  expected=denied; [ "$user" = "$outsider" ] || expected=allowed
  check "the call log" $expected "$user" $(control Calls)
  check "the SIM's state" $expected "$user" $(control SetProperty) string:com.kelvo.hvt.SIM string:Status \
    variant:string:PINRequired
  check "a daemon signal" $expected "$user" $(control EmitSignal) string: string:com.kelvo.hvt.CSNet \
    string:ActivityChanged array:string:Call
done
check "the daemon's names" denied "$outsider" $(control ReleaseNames)
check "owning a daemon name" denied "$outsider" --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.RequestName string:com.kelvo.hvt.SIM uint32:0
check "properties set through the daemon" denied "$outsider" --dest=com.kelvo.hvt.SIM /com/kelvo/hvt/sim \
  org.freedesktop.DBus.Properties.Set string:com.kelvo.hvt.SIM string:Status variant:string:Ready

# The network's barring password is nobody's to read.
as_outsider() { runuser -u "$outsider" -- env DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" dbus-send --system \
                  --print-reply --dest=com.kelvo.hvt.SS /com/kelvo/hvt/ss "$@" 2>&1; }
read_one=$(as_outsider org.freedesktop.DBus.Properties.Get string:com.kelvo.hvt.SS string:BarringPassword)
read_all=$(as_outsider org.freedesktop.DBus.Properties.GetAll string:com.kelvo.hvt.SS)
snapshot=$("$build/tools/modemsim/ondrix-modemsim" ctl state)
if grep -q 'Error' <<<"$read_one" && ! grep -q -e '"0000"' -e BarringPassword <<<"$read_all$snapshot"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)); echo "FAIL: the barring password can be read: $read_one $read_all"
fi

# A code in a place that should hold something else is not logged either.
check "a PIN in the type's place" allowed "$outsider" --dest=com.kelvo.hvt.SIM /com/kelvo/hvt/sim \
  com.kelvo.hvt.SIM.Security.VerifyPIN string:2468 string:pin

# The code went to the card; the log shows where it went, not what it was.
log=$("$build/tools/modemsim/ondrix-modemsim" ctl calls)
if grep -q 'VerifyPIN (ss) \["pin", "\*\*\*\*\*\*\*\*"\]' <<<"$log" && ! grep -q -e 1234 -e 2468 <<<"$log"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)); echo "FAIL: the call log shows the code:"; echo "$log"
fi

# Nor from the AT port: the card's codes, the barring password, and a
# control string that changes a PIN, dialled or sent as USSD.
port=$(sed -n 's/.*AT modem on 127.0.0.1:\([0-9]*\).*/\1/p' "$dir/sim.log")
exec 3<>"/dev/tcp/127.0.0.1/$port"
for line in 'AT+CPIN="1234"' 'AT+CLCK="SC",0,"2468"' 'AT+CPWD="SC","1234","9876"' 'AT+CLCK="AO",1,"0000",1' \
            'ATD**04*1234*9876*9876#;' 'AT+CUSD=1,"**042*5678*5555*5555#",15'; do
  printf '%s\r' "$line" >&3
  while IFS= read -r -t 20 answer <&3; do
    case ${answer%$'\r'} in OK|ERROR|NO\ CARRIER|+CME\ ERROR*) break ;; esac
  done
done
exec 3>&-
log=$("$build/tools/modemsim/ondrix-modemsim" ctl calls | grep '^AT\.Received')
if grep -q 'AT+CPIN="\*\*\*\*\*\*\*\*"' <<<"$log" && grep -q 'AT+CLCK="AO",1,"\*\*\*\*\*\*\*\*",1' <<<"$log" \
   && grep -q 'ATD\*\*04\*\*\*\*\*\*\*\*\*' <<<"$log" && ! grep -q -e 1234 -e 2468 -e 9876 -e 0000 -e 5678 -e 5555 <<<"$log"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)); echo "FAIL: the AT conversation in the call log shows a code:"; echo "$log"
fi

# The bridge's policy, alone on a bus of its own: only its user (and root)
# owns the daemons' names; applications reach the daemons.
bridge=$dir/bridge
mkdir "$bridge" && chmod 755 "$bridge"
sed "s/\"ondrix-ofono\"/\"$developer\"/" "$src/tools/ofono/data/ondrix-ofono.conf" > "$bridge/ondrix-ofono.conf"
sed -e "s|$dir/bus<|$bridge/bus<|" -e "s|$dir/ondrix-modemsim.conf|$bridge/ondrix-ofono.conf|" "$dir/bus.conf" > "$bridge/bus.conf"
setpriv --pdeathsig KILL dbus-daemon --config-file="$bridge/bus.conf" --nofork 2>"$bridge/bus.log" &
bridge_bus=$!
for _ in $(seq 300); do
  [ -S "$bridge/bus" ] && break
  sleep 0.1
done
DBUS_SYSTEM_BUS_ADDRESS=unix:path=$bridge/bus
for user in "$outsider" "$developer" root; do
  expected=denied; [ "$user" = "$outsider" ] || expected=allowed
  check "owning a daemon name (bridge)" $expected "$user" --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.RequestName string:com.kelvo.YKM.Modem uint32:0
done
check "the daemon's methods (bridge)" allowed "$outsider" --dest=com.kelvo.hvt.SS /com/kelvo/hvt/ss \
  com.kelvo.hvt.SS.USSD.Command 'string:*100#' string:
kill "$bridge_bus"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
