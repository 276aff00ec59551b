#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The simulator as developers drive it: strict controls, scenarios that react,
# a state snapshot restored, and a recording replayed.
set -uo pipefail
build=$1
source "$(dirname "$0")/../scripts/privatebus.sh"
privatebus_start "$build" --instant || exit 1
sim="$build/tools/modemsim/ondrix-modemsim"
ondrix="$build/tools/ondrix/ondrix"
ctl() { timeout 20 "$sim" ctl "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0 failed=0
expect() {   # expect NAME PATTERN OUTPUT
  if grep -q -E -- "$2" <<<"$3"; then passed=$((passed + 1))
  else failed=$((failed + 1)); echo "FAIL: $1: no match for '$2' in:"; echo "$3"; fi
}

# expect, retried for a while: for what follows a scenario's own time.
eventually() {   # eventually NAME PATTERN COMMAND...
  local name=$1 pattern=$2; shift 2
  expect "$name" "$pattern" "$(until_matches "$pattern" "$@")"
}

# Mistakes in a control command: one line, exit status 2, nothing changed.
while IFS='|' read -r command why; do
  out=$(eval "ctl $command" 2>&1); rc=$?
  expect "ctl $command: exit status" '^2$' "$rc"
  expect "ctl $command: one line" '^1$' "$(wc -l <<<"$out" | tr -d ' ')"
  expect "ctl $command: why" "$why" "$out"
done <<'LIST'
set com.kelvo.hvt.Bogus X i:1|no interface com.kelvo.hvt.Bogus
set com.kelvo.hvt.CSNet.SignalStrength SignalBar i:2|no property SignalBar .*it has SignalBars
set com.kelvo.hvt.CSNet.SignalStrength SignalBars s:2|"s:2" is of type s, not i
emit com.kelvo.hvt.SS.USSD Bogus|no signal Bogus
emit com.kelvo.hvt.CSNet.SignalStrength SignalBarsChanged|carries 1 values
sim state Bogus|a card state "Bogus" is none of
register Bogus|a registration "Bogus" is none of
register Home 2440 05 X|a network is MCC
setting Bogus i:1|setting "Bogus" is none of
setting ScanTime s:x|ScanTime is a time in milliseconds
script com.kelvo.hvt.SIM Bogus error=x.Y|no method Bogus
script com.kelvo.hvt.SIM GetSIMStatus count=-1|count is a whole number
fly away|"fly away" is not a command
scenario no-such-scenario|cannot read no-such-scenario
LIST
expect "nothing changed" '^SignalBars = 4$' "$(ctl get com.kelvo.hvt.CSNet.SignalStrength)"
# A plain number for an integer property is an integer.
ctl set com.kelvo.hvt.CSNet.SignalStrength SignalBars 2
expect "a plain 2 is an integer" '^signal: +2 bars' "$("$ondrix" status)"
ctl reset
# An installed scenario by its name.
ctl scenario roaming-abroad 1000
eventually "a scenario by name" '^network: +Roaming$' "$ondrix" status
ctl reset

# A scenario that waits: the right PIN brings the network, a wrong one nothing.
# Any PIN at all sets the signal, after what the right one would have done.
cat >"$work/react.scenario" <<'SCENARIO'
0s register NoSim
0s sim state PINRequired
on call com.kelvo.hvt.SIM.Security.VerifyPIN pin 1234 then register Roaming 248 01 "Telia EE"
on call com.kelvo.hvt.SIM.Security.VerifyPIN then signal -100
on line 3 then +200ms signal -60
SCENARIO
ctl scenario "$work/react.scenario"
printf '0000\n' | "$ondrix" sim unlock >/dev/null 2>&1
out=$(until_matches '^signal: .*-100 dBm$' "$ondrix" status)
expect "a wrong PIN does not trigger it" '^network: +NoSim$' "$out"
printf '1234\n' | "$ondrix" sim unlock >/dev/null 2>&1
eventually "the right PIN triggers it" '^network: +Roaming$' "$ondrix" status
eventually "and the step after it, in its time" '^signal: +5 bars, 85 %, -60 dBm$' "$ondrix" status
expect "the PIN itself stays out of the call log" 'VerifyPIN \(ss\) \["pin", "\*\*\*\*\*\*\*\*"\]' "$(ctl calls)"
ctl reset

# A snapshot restores the state it was taken in.
ctl register Roaming 248 01 "O'Brien \"Net\""
ctl signal -97
ctl sim state PUKRequired
ctl state >"$work/state.scenario"
ctl reset
ctl scenario "$work/state.scenario"
eventually "a snapshot played" "^operator: +O'Brien" "$ondrix" status
diff <(tail -n +2 "$work/state.scenario") <(ctl state | tail -n +2) >"$work/state.diff"
expect "a snapshot restored" '^$' "$(cat "$work/state.diff")"
expect "a snapshot restored, as an application sees it" "^operator: +O'Brien \"Net\" \(248 01" "$("$ondrix" status)"
ctl reset

# A recording replayed: a client sees the same signals, and the calls it
# makes are answered as recorded, though the simulator is elsewhere.
monitor_start "$work/seen" monitor
seen_from=$((MONITOR_SKIP + 1))
"$sim" record --output "$work/recorded.scenario" 2>"$work/recorder.err" & recorder=$!
until_matches 'recording' cat "$work/recorder.err" >/dev/null
ctl signal -97
ctl register Roaming 248 01 "Telia EE"
ctl sim state PINRequired
ctl call start
ctl register NoCoverage
ctl script com.kelvo.hvt.CSNet.NetworkRegistration GetNetworks \
    'reply=v:a(ssssssb):[["Zed Net","Available","Preferred","GSM_900_1800","07","999",true]]'
timeout 20 "$ondrix" operators >"$work/operators" 2>&1
# The last thing recorded: once the monitor shows it, it has shown everything.
ctl emit com.kelvo.hvt.CSNet.NetworkRegistration SelectionModeChanged Manual
until_matches '^selection: +Manual$' tail -n +$seen_from "$work/seen" >/dev/null
monitor_stop
kill -TERM "$recorder"; wait "$recorder"
expect "a recording holds the calls' answers" '^0s script com.kelvo.hvt.CSNet.NetworkRegistration GetNetworks' "$(cat "$work/recorded.scenario")"
expect "a recording holds the signals" '^[0-9]+ms emit com.kelvo.hvt.CSNet.NetworkRegistration RegistrationChanged' "$(cat "$work/recorded.scenario")"
ctl reset
monitor_start "$work/replayed" monitor
replayed_from=$((MONITOR_SKIP + 1))
ctl scenario "$work/recorded.scenario"
until_matches '^selection: +Manual$' tail -n +$replayed_from "$work/replayed" >/dev/null
monitor_stop
ctl signal -55
ctl register Roaming 240 01 "Elsewhere"
timeout 20 "$ondrix" operators >"$work/operators.replayed" 2>&1
expect "a scan answered as recorded" 'Zed Net' "$(cat "$work/operators.replayed")"
expect "a scan answered as recorded, all of it" '^$' "$(diff "$work/operators" "$work/operators.replayed")"
# The call timers count real seconds, which a loaded machine stretches.
expect "replayed as recorded" '^$' "$(diff <(tail -n +$seen_from "$work/seen" | grep -v '^call timers') \
                                          <(tail -n +$replayed_from "$work/replayed" | grep -v '^call timers'))"
expect "what was seen" '^network: +NoCoverage' "$(cat "$work/replayed")"

# With the AT port only, the daemons' names are another program's; the
# control interface and the modem on the port are there.
mkdir "$work/bus"
sed "s|@DIR@|$work/bus|" "$(dirname "$0")/../scripts/privatebus.conf" > "$work/bus.conf"
setpriv --pdeathsig KILL dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 3>"$work/address" 2>/dev/null &
bus=$!
until_matches . cat "$work/address" >/dev/null
# The starting state of an installed scenario, found by its name.
setpriv --pdeathsig KILL "$sim" --address "$(head -n1 "$work/address")" --instant --at 0 --at-only \
  --scenario pin-locked-sim 2>"$work/at.log" &
atonly=$!
port=$(until_matches 'AT modem on' cat "$work/at.log" | sed -n 's/.*127.0.0.1:\([0-9]*\).*/\1/p')
names=$(until_matches ModemSim dbus-send --bus="$(head -n1 "$work/address")" --print-reply --dest=org.freedesktop.DBus \
          /org/freedesktop/DBus org.freedesktop.DBus.ListNames)
expect "--at-only: the control interface" 'org.ondrix.ModemSim' "$names"
expect "--at-only: no daemon names" '^0$' "$(grep -c com.kelvo <<<"$names")"
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'AT+CPIN?\r' >&3
read -r -t 20 _ <&3; read -r -t 20 answer <&3
expect "--at-only --scenario NAME: the modem on the port, its card locked" '^\+CPIN: SIM PIN' "$answer"
exec 3>&-
kill "$atonly" "$bus"; wait "$atonly" "$bus" 2>/dev/null

echo "$passed passed, $failed failed"
privatebus_stop
[ "$failed" -eq 0 ]
