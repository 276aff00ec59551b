#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The command-line tools against the simulator on a private bus.
set -uo pipefail
# The texts below hold characters beyond ASCII, as users type them.
export LC_ALL=C.UTF-8
build=$1
source "$(dirname "$0")/../scripts/privatebus.sh"
privatebus_start "$build" --show-codes || exit 1
ondrix="$build/tools/ondrix/ondrix"
ctl() { "$build/tools/modemsim/ondrix-modemsim" ctl "$@"; }

passed=0 failed=0
expect() {   # expect NAME PATTERN OUTPUT
  if grep -q -E -- "$2" <<<"$3"; then passed=$((passed + 1))
  else failed=$((failed + 1)); echo "FAIL: $1: no match for '$2' in:"; echo "$3"; fi
}
expect_not() {   # expect_not NAME PATTERN OUTPUT
  if ! grep -q -E -- "$2" <<<"$3"; then passed=$((passed + 1))
  else failed=$((failed + 1)); echo "FAIL: $1: '$2' found in:"; echo "$3"; fi
}
one_line_usage() {   # one_line_usage ARGS...: exit status 2 and one line, at once
  local out rc
  out=$(timeout 20 "$ondrix" "$@" </dev/null 2>&1 >/dev/null); rc=$?
  expect "bad arguments: $*" '^2$' "$rc"
  expect "bad arguments: $*, one line" '^1$' "$(wc -l <<<"$out" | tr -d ' ')"
}

out=$("$ondrix" status)
expect "status on start-up" '^power: +on$' "$out"
expect "status on start-up" '^status: +FullService$' "$out"
expect "status on start-up" '^activity: +Idle$' "$out"

ctl set com.kelvo.YKM.Modem ServiceState s:EmergencyOnly
ctl set com.kelvo.hvt.CSNet Activity Call
out=$("$ondrix" status)
expect "properties set through ctl" '^status: +LimitedService$' "$out"
expect "properties set through ctl" '^activity: +Call$' "$out"

ctl setting RadioSwitchTime i:0
ctl setting ScanTime i:0
ctl setting SelectionTime i:0
out=$("$ondrix" status)
expect "network status" '^network: +AtHome$' "$out"
expect_not "no reject cause while registered" '^reject:' "$out"
expect "operator with country" '^operator: +Ondrix Mobile \(244 05, FI\)$' "$out"
out=$("$ondrix" operators)
expect "scan lists the forbidden network" '^3 +Tundra Telecom \(244 12, FI\) +Forbidden +Forbidden +GSM 850 / GSM 1900 +no$' "$out"
out=$("$ondrix" select 2)
expect "manual selection" '^selected: +done$' "$out"
expect "manual selection" '^operator name: +Baltic Link$' "$out"
expect "no operator while searching" '^operator: +none$' "$out"
out=$("$ondrix" select 3 2>&1); rc=$?
expect "refused selection" 'failed: PLMNNotAllowed' "$out"
expect "refused selection exit code" '^1$' "$rc"
# Bad arguments: one line, exit status 2, never a wait.
for bad in "select 99" "select -1" "select x" "monitor --seconds x" "monitor --seconds" "power maybe"; do
  out=$(timeout 20 "$ondrix" $bad 2>&1 >/dev/null); rc=$?
  expect "bad arguments: $bad" '^2$' "$rc"
  expect "bad arguments: $bad, one line" '^1$' "$(wc -l <<<"$out" | tr -d ' ')"
done
out=$(timeout 20 "$ondrix" select 99 2>&1)
expect "index beyond the scan" 'no operator 99 in the scan \(4 found\)' "$out"
out=$(ctl calls)
expect "selection on the wire" 'NetworkRegistration\.SelectOperator \(ss\) \["01", "248"\]' "$out"
out=$("$ondrix" power off)
expect "power off" '^status: +NoService$' "$out"
expect "power off, said once" '^1$' "$(grep -cE '^power: +off$' <<<"$out")"
out=$(ctl calls)
expect "call log" '^com\.kelvo\.YKM\.Modem\.RequestRadio \(bb\) \[false, true\]$' "$out"

ctl script com.kelvo.YKM.Modem RequestRadio error=com.kelvo.YKM.Modem.Error.Refused message=locked count=2
out=$("$ondrix" power on 2>&1); rc=$?
expect "refused power on" 'the radio did not switch on' "$out"
expect_not "the library's log only with --verbose" 'ondrix.dbus' "$out"
expect "refused power on exit code" '^1$' "$rc"
out=$("$ondrix" --jsn status 2>&1); rc=$?
expect "a mistyped option" '^ondrix: unknown option --jsn ' "$out"
expect "a mistyped option's exit code" '^2$' "$rc"
out=$("$ondrix" ss divert set busy 2>&1)
expect "the usage line of the command typed" '^usage: ondrix ss divert set KIND NUMBER \[DELAY\]$' "$out"
out=$("$ondrix" --verbose power on 2>&1)
expect "refused power on, the daemon's reason" 'Error: "com.kelvo.YKM.Modem.Error.Refused" "locked"' "$out"

out=$(ctl set com.kelvo.YKM.Modem ServiceState b:maybe 2>&1); rc=$?
expect "bad value is refused" 'not a number|true or false|maybe' "$out"
expect "bad value exit code" '^2$' "$rc"

out=$("$ondrix" sms count hello)
expect "sms count" '^segments: +1$' "$out"
expect "sms count" '^free: +155$' "$out"
out=$("$ondrix" sms count --lang turkish "çok güzel şey")
expect "sms count in turkish" '^per segment: +152$' "$out"
out=$("$ondrix" sms count "你好")
expect "sms count in ucs-2" '^encoding: +UCS-2$' "$out"
out=$("$ondrix" sms encode --to +4412345 hello)
expect "sms encode" '^01000791442143F5000005E8329BFD06$' "$out"
pdus=$("$ondrix" sms encode --to +358401234567 --ref 66 "$(printf 'x%.0s' $(seq 200))")
expect "two segments" '^2$' "$(wc -l <<<"$pdus" | tr -d ' ')"
out=$("$ondrix" sms decode $(tac <<<"$pdus"))
expect "sms decode joins reversed segments" '^element: +0 CONCAT_SM_REF_8BIT: 42 02 01$' "$out"
expect "sms decode joins reversed segments" '^text: +x{200}$' "$out"
out=$("$ondrix" sms decode 0011 2>&1); rc=$?
expect "broken pdu" 'error: +address was invalid' "$out"
expect "broken pdu exit code" '^1$' "$rc"
out=$("$ondrix" cbs decode "401203E80110$(printf '%0164d' 0)")
expect "cbs decode" '^message id: +1000$' "$out"
expect "cbs decode" '^page: +1 of 1$' "$out"
out=$("$ondrix" smsc)
expect "smsc" '^\+358405202000$' "$out"
out=$(ctl calls)
expect "a byte argument in the call log" '^com\.kelvo\.hvt\.SMS\.SIM\.GetParameters \(y\) \[1\]$' "$out"

# monitor follows changes as they happen.
monitor_start "$PRIVATEBUS_DIR/monitor.out" monitor
ctl emit com.kelvo.hvt.CSNet.NetworkRegistration SelectionModeChanged Forced
ctl emit com.kelvo.hvt.CSNet.NetworkRegistration RegistrationChanged Rejected PLMNNotAllowed
ctl emit com.kelvo.hvt.CSNet.NetworkRegistration RegistrationChanged Roaming ""
until_matches '^network: +Roaming$' cat "$PRIVATEBUS_DIR/monitor.out" >/dev/null
monitor_stop
out=$(cat "$PRIVATEBUS_DIR/monitor.out")
expect "monitor" '^selection: +ForcedAutomatic$' "$out"
expect "monitor: a refusal with its cause" '^network: +Rejected \(PLMNNotAllowed\)$' "$out"
expect "monitor: a registration without a cause" '^network: +Roaming$' "$out"

# The SIM card: a PIN dialog, the phonebook, fixed dialling. Codes come from
# standard input, never from the command line.
out=$("$ondrix" sim status)
expect "sim status" '^sim: +Ok$' "$out"
ctl sim state PINRequired
out=$(echo 0000 | "$ondrix" sim unlock 2>&1); rc=$?
expect "wrong PIN" 'wrong PIN, 2 attempts left' "$out"
expect "wrong PIN exit code" '^1$' "$rc"
out=$(echo 0001 | "$ondrix" sim unlock 2>&1)
expect "the last attempt" 'wrong PIN, 1 attempt left$' "$out"
out=$(echo 1234 | "$ondrix" sim unlock)
expect "right PIN" '^PIN: +accepted$' "$out"
expect "the PIN went on the wire, not the log" 'SIM\.Security\.VerifyPIN \(ss\) \["pin", "1234"\]' "$(ctl calls)"
out=$("$ondrix" sim phonebook list adn)
expect "phonebook" '^ +5 +Mikko +\+358509876543 +Mikko work \+35891234567$' "$out"
out=$(printf '5678\n' | "$ondrix" sim fdn on)
expect "fixed dialling after PIN2" '^fdn: +on$' "$out"
out=$("$ondrix" sim identity)
expect "identity" '^home: +244 05$' "$out"
ctl sim remove
out=$("$ondrix" sim status 2>&1); rc=$?
expect "no card" '^sim: +NoSIM$' "$out"
for bad in "sim" "sim unlock pin3" "sim pin-query maybe" "sim phonebook list book" "sim lock unlock x" "sim bogus"; do
  one_line_usage $bad
done

# Supplementary services, USSD and the dialler.
out=$("$ondrix" ss divert set no-reply +358405200000 25)
expect "divert set" '^divert: +registered$' "$out"
out=$("$ondrix" ss divert status conditional)
expect "divert read back" '^divert: +AllBasicServices on to \+358405200000 after 25 s$' "$out"
expect "divert on the wire" 'SS\.RegisterDivert \(sssu\) \["61", "", "\+358405200000", 25\]' "$(ctl calls)"
out=$(echo 9999 | "$ondrix" ss barring on outgoing 2>&1); rc=$?
expect "wrong barring password" 'WrongPassword' "$out"
expect "wrong barring password exit code" '^1$' "$rc"
out=$("$ondrix" ussd '*100#')
expect "balance" '^Balance 12.34 EUR' "$out"
out=$(printf '2\n1\n' | "$ondrix" ussd '*123#')
expect "menu dialogue" '^Ordered: 1 GB for 5 EUR$' "$out"
expect "menu dialogue ends" '^Thank you$' "$out"
out=$("$ondrix" dial '*#43#')
expect "dial a service code" '^waiting: +Telephony$' "$out"
out=$("$ondrix" dial 0401234567)
expect "dial a number" '^dial: +a call to 0401234567$' "$out"
ctl clear-calls
out=$("$ondrix" dial '*#06#')
expect "the IMEI is the phone's own" '^imei: +356938035643809$' "$out"
expect_not "the IMEI is not asked of the network" 'USSD' "$(ctl calls)"
for bad in "ss" "ss divert set nowhere 040" "ss divert set busy 040 x" "ussd" "dial" "dial 1 2"; do
  one_line_usage $bad
done
for bad in "" "bogus" "sms" "sms count" "sms encode --to +123 --ref x hi" "sms encode --to +123 --ref -5 hi" \
           "sms encode --to +123 --ref 256 hi" "sms encode --to +123 --class 4 hi" "cbs decode 00" "cbs decode"; do
  one_line_usage $bad
done
# Every value of every codec option: what each one changes.
for class in 0 1 2 3; do
  out=$("$ondrix" sms encode --to +4412345 --class "$class" hi)
  expect "a class $class message" "^01000791442143F5001${class}02E834\$" "$out"
done
# A letter only that language's tables hold: which encoding and room it gets,
# and a text that fills the room counted goes out in one PDU, one more letter in
# two (but for auto, which may then find cheaper tables).
while read -r lang text encoding room; do
  out=$("$ondrix" sms count --lang "$lang" "$text")
  expect "--lang $lang: encoding" "^encoding: +$encoding" "$out"
  expect "--lang $lang: room" "^per segment: +$room\$" "$out"
  full=$text$(printf "%$(sed -n 's/^free: *//p' <<<"$out")s" | tr ' ' a)
  expect "--lang $lang: sent as counted" '^1$' "$("$ondrix" sms encode --to +123 --lang "$lang" "$full" | wc -l)"
  [ "$lang" = auto ] || expect "--lang $lang: sent as counted, one more" '^2$' "$("$ondrix" sms encode --to +123 --lang "$lang" "${full}a" | wc -l)"
done <<'LANGS'
default ê UCS-2 70
turkish ğ GSM 152
spanish Á GSM 155
portuguese ê GSM 152
transliterate ê GSM 160
auto ğ GSM 155
LANGS
# The cheapest tables by themselves, and a message sent with them reads back.
text="Günaydın! Bugün şehirde buluşalım mı? Ağaçların altında çay içer, sonra İstiklal'e yürürüz."
out=$("$ondrix" sms count --lang auto "$text")
expect "--lang auto: one segment" '^segments: +1$' "$out"
expect "--lang auto: the tables" '^tables: +default locking, turkish single shift$' "$out"
expect "without a language: UCS-2" '^segments: +2$' "$("$ondrix" sms count "$text")"
pdus=$("$ondrix" sms encode --to +905321234567 --lang auto "$text")
expect "--lang auto: one PDU" '^1$' "$(wc -l <<<"$pdus" | tr -d ' ')"
back=$("$ondrix" sms decode $pdus | sed -n 's/^text: *//p')
expect "--lang auto: read back" '^same$' "$([ "$back" = "$text" ] && echo same || echo "$back")"

# Device facts, radio, cell and network time.
out=$("$ondrix" info)
expect "imei" '^imei: +356938035643809$' "$out"
expect "emergency numbers without a SIM" '^emergency: +112 911 000 08 110 118 119 999$' "$out"
out=$("$ondrix" radio mode 2g)
expect "radio mode" '^mode: +OnlyTwoG$' "$out"
out=$("$ondrix" radio)
expect "2g brings EDGE" '^technology: +TwoPointFiveG$' "$out"
ctl set com.kelvo.hvt.CSNet.RadioAccess SupportedModes as:Dual,GSM
out=$("$ondrix" radio mode 3g 2>&1); rc=$?
expect "a mode the modem lacks" 'no mode "UMTS"' "$out"
expect "a mode the modem lacks, exit code" '^1$' "$rc"
out=$("$ondrix" cell)
expect "no cell while the radio is off" '^cell: +UnknownType cell 0, area 0$' "$out"
ctl reset
out=$("$ondrix" cell)
expect "cell" '^cell: +WCDMACell cell 6699, area 3841$' "$out"
ctl register Roaming 248 01 "Telia EE"
out=$("$ondrix" time)
expect "network time of the network abroad" '^network time: .*, zone \+02:00, dst 0 h, from 248 01$' "$out"
for bad in "info x" "radio mode 4g" "cell x" "time x"; do
  out=$(timeout 20 "$ondrix" $bad </dev/null 2>&1 >/dev/null); rc=$?
  expect "bad arguments: $bad" '^2$' "$rc"
done

# Codes stay on the phone: the dialler's PIN procedures go to the card, a
# string with a code is neither echoed nor taken from the command line, and
# none reaches the network.
ctl reset
for typed in '**04*1234*4321*4321#' '**03*330*0000*1111*1111#' '*33*0000#'; do
  out=$("$ondrix" dial "$typed" 2>&1); rc=$?
  expect "a code on the command line: $typed" '^2$' "$rc"
  expect_not "a code on the command line is not echoed: $typed" '0000|1234|4321' "$out"
done
out=$(printf '**04*1234*4321*4321#\n' | "$ondrix" dial 2>&1)
expect "PIN change typed into the dialler" '^code: +accepted$' "$out"
expect_not "the typed code is not echoed" '1234|4321' "$out"
out=$(printf '**05*12345678*1111*2222#\n' | "$ondrix" dial 2>&1); rc=$?
expect "PUK procedure whose new PINs differ" 'code procedure: InvalidParameter' "$out"
expect "PUK procedure whose new PINs differ, exit code" '^1$' "$rc"
out=$(printf '**03*330*0000*1111*2222#\n' | "$ondrix" dial 2>&1); rc=$?
expect "a password change that does not parse is refused" 'UssdInvalidParameters' "$out"
calls=$(ctl calls)
expect "the PIN change went to the card" 'SIM\.Security\.ChangePIN \(sss\) \["pin", "1234", "4321"\]' "$calls"
expect_not "no code went to the network" 'USSD\.Command|VerifyPUK|ChangePassword' "$calls"
# A code read for the card leaves no copy in the standard input's buffer
# (looked for in a core of the waiting process; a sanitizer's shadow memory
# makes cores too large to read, so those builds leave it to the others).
if ! ldd "$ondrix" | grep libasan >/dev/null; then   # all of ldd read: no SIGPIPE under pipefail
  ctl script com.kelvo.hvt.SIM.Security VerifyPIN delay=60000
  ctl clear-calls
  printf '2468\n' | "$ondrix" sim unlock >/dev/null 2>&1 &
  unlock=$!
  until_matches 'VerifyPIN' ctl calls >/dev/null   # read, sent, and waiting for the answer
  gcore -o "$PRIVATEBUS_DIR/core" "$unlock" >/dev/null 2>&1
  kill "$unlock"
  wait "$unlock"
  ctl reset
  expect "the code read was not kept as read" '^0$' "$(grep -c -a -E '2468$' "$PRIVATEBUS_DIR/core.$unlock")"
  [ -s "$PRIVATEBUS_DIR/core.$unlock" ] || { failed=$((failed + 1)); echo "FAIL: no core of ondrix sim unlock"; }
  rm -f "$PRIVATEBUS_DIR"/core.*
fi

# However a code is dressed up, it is refused on the command line and never
# goes to the network: read as a dialler reads it.
ctl clear-calls
pin='**04*1234*4321*4321#'
for dressed in " $pin" $'\t'"$pin" "+$pin" "*$pin" $'\u200b'"$pin" $'\uff0a\uff0a\uff10\uff14*1234*4321*4321\uff03' 'x**33*0000#'; do
  out=$("$ondrix" dial "$dressed" 2>&1); rc=$?
  expect "a dressed-up code on the command line: $dressed" '^2$' "$rc"
  expect_not "a dressed-up code is not echoed: $dressed" '1234|4321|0000' "$out"
  expect "a dressed-up code for USSD: $dressed" '^2$' "$("$ondrix" ussd "$dressed" >/dev/null 2>&1; echo $?)"
  out=$(printf '%s\n' "$dressed" | "$ondrix" dial 2>&1)
  expect_not "a dressed-up code typed is not echoed: $dressed" '1234|4321|0000' "$out"
done
# One typed as the answer in a dialogue is refused, and the dialogue released.
out=$(printf '%s\n' "$pin" | "$ondrix" ussd '*123#' 2>&1); rc=$?
expect "a code as a USSD answer" 'UssdInvalidParameters' "$out"
expect "a code as a USSD answer, exit status" '^1$' "$rc"
expect "the dialogue it was in is released" '^Balance 12.34 EUR' "$("$ondrix" ussd '*100#' 2>&1)"
expect_not "no code went to the network" 'USSD\.(Command|Reply) \(ss\) \["[^"]*(1234|0000)' "$(ctl calls)"

# Text from the network is shown inert: control characters made visible.
esc=$'\e' bel=$'\a'
ctl set com.kelvo.hvt.CSNet.NetworkOperator OperatorName "s:Evil${esc}]0;pwned${bel}${esc}[2J"
out=$("$ondrix" status)
expect "an operator name's escapes shown" '^operator: +Evil\\x1B\]0;pwned\\x07\\x1B\[2J ' "$out"
expect_not "no raw escape from the operator name" "$esc|$bel" "$out"
ctl script com.kelvo.hvt.SS.USSD Command "reply=s:Your balance${esc}[2J"$'\r'"12 EUR"$'\n'"Bye" reply=s:
out=$("$ondrix" ussd '*100#')
expect "a USSD text's escapes shown, its lines kept" '^Your balance\\x1B\[2J\\x0D12 EUR$' "$out"
expect "a USSD text's lines kept" '^Bye$' "$out"
out=$("$ondrix" sms decode 04049121430008622101214365001000410018005B0032004A0042000D005C)
expect "an SMS text's escapes shown" '^text: +A\\x18\[2JB\\x0D\\\\$' "$out"
# Direction controls, line separators, DEL and C1 too, as text and as JSON.
ctl set com.kelvo.hvt.CSNet.NetworkOperator OperatorName $'s:Net\u202Eevil\u2028\u2066x\x7F\u0085'
out=$("$ondrix" status)
expect "direction controls shown" '^operator: +Net\\u202Eevil\\u2028\\u2066x\\x7F\\x85 ' "$out"
out=$("$ondrix" --json status)
expect "direction controls escaped in JSON" '"operator":"Net\\u202eevil\\u2028\\u2066x\\u007f\\u0085"' "$out"
expect_not "nothing raw in JSON" $'\u202E|\u2028|\u2066|\x7F|\u0085' "$out"
ctl reset
# Nesting beyond what a message carries is refused at once, not sent.
deep='s:x'; for _ in $(seq 100); do deep="{k=$deep}"; done
out=$(timeout 10 "$build/tools/modemsim/ondrix-modemsim" ctl emit com.kelvo.YKM.Modem PropertiesChanged "$deep" 2>&1); rc=$?
expect "maps nested 100 deep" '^2$' "$rc"
expect "maps nested 100 deep, one line" 'maps nest 20 deep at most' "$out"
expect "the simulator lives on" '^power: +on$' "$("$ondrix" status)"

# Scenarios: checked line by line before anything is played, then played fast.
ctl reset
scenario=$(mktemp)
printf '0s signal -90\n# a comment\n2s register Roaming 248 01 "Telia EE\n' >"$scenario"
out=$(ctl scenario "$scenario" 2>&1); rc=$?
expect "scenario with an open quote" 'line 3: a quote is not closed' "$out"
expect "scenario with an open quote exit code" '^2$' "$rc"
printf '2s signal -90\n1s signal -80\n' >"$scenario"
expect "scenario going back in time" 'line 2: 1s comes before the line above' "$(ctl scenario "$scenario" 2>&1)"
printf '1h signal -90\n' >"$scenario"
expect "scenario with a bad time" 'line 1: "1h" is not a time' "$(ctl scenario "$scenario" 2>&1)"
printf '0s fly away\n' >"$scenario"
expect "scenario with a bad command" 'line 1: "fly away" is not a command' "$(ctl scenario "$scenario" 2>&1)"
expect "nothing of a bad scenario is played" '^network: +AtHome$' "$("$ondrix" status)"
rm -f "$scenario"
ctl scenario "$(dirname "$0")/../scenarios/roaming-abroad.scenario" 1000
out=$(until_matches '^operator: +Telia EE' "$ondrix" status)
expect "scenario played" '^network: +Roaming$' "$out"
expect "scenario played" '^operator: +Telia EE \(248 01, EE\)$' "$out"
ctl reset

# A hostile daemon: status still reports, whatever arrives.
ctl chaos on 7 >/dev/null
for i in 1 2 3 4 5; do
  "$ondrix" status >/dev/null 2>&1; rc=$?
  # The hostile mode drops the daemons' names now and then: absent is an answer too.
  expect "status against the hostile mode" '^[01]$' "$rc"
done
ctl chaos off
ctl reset   # the hostile mode garbled the modem's state: start the next part from a known one

# monitor follows the daemon leaving and coming back, and what it says then.
monitor_start "$PRIVATEBUS_DIR/monitor.out" monitor
ctl release
until_matches '^daemon: +absent$' cat "$PRIVATEBUS_DIR/monitor.out" >/dev/null
ctl set com.kelvo.YKM.Modem ServiceState s:EmergencyOnly
ctl acquire
until_matches '^status: +LimitedService$' cat "$PRIVATEBUS_DIR/monitor.out" >/dev/null
monitor_stop
out=$(cat "$PRIVATEBUS_DIR/monitor.out")
expect "monitor: the daemon leaves" '^daemon: +absent$' "$out"
expect "monitor: the daemon returns" '^daemon: +present$' "$out"
expect "monitor: what it says after its return" '^status: +LimitedService$' "$out"

# What scripts read: every command's answer is one object of its definition
# in the schema (fixed keys, typed values), what happens an event a line.
schema="$(dirname "$0")/../tools/ondrix/ondrix.schema.json"
# The outputs are kept and held to the schema together at the end.
mkdir -p "$PRIVATEBUS_DIR/json"
json_checks=$PRIVATEBUS_DIR/json/checks json_outputs=0
json_check() {   # json_check DEFINITION INPUT ARGS...: ondrix --json ARGS, INPUT on standard input
  local definition=$1 input=$2 file; shift 2
  file=$PRIVATEBUS_DIR/json/$((++json_outputs))
  printf '%b' "$input" | timeout 60 "$ondrix" --json "$@" >"$file" 2>/dev/null
  if [ -s "$file" ]; then
    printf '%s\t%s\t%s\n' "$definition" "$file" "--json $*" >>"$json_checks"
  else
    failed=$((failed + 1)); echo "FAIL: --json $*: nothing printed"
  fi
}
ctl reset
ctl setting ScanTime i:0
ctl setting SelectionTime i:0
ctl set com.kelvo.hvt.SIM.SIMLock Status s:RestrictionOn   # for the unlock below
# DEFINITION | STANDARD INPUT | ARGUMENTS, in an order whose changes undo each other.
while IFS='|' read -r definition input args; do
  json_check "$definition" "$input" $args
done <<'COMMANDS'
status||status
operators||operators
event||select 2
event||select auto
event||power off
event||power off
event||power on
sms-count||sms count hello
sms-count||sms count 你好
sms-encode||sms encode --to +4412345 --class 1 hi
sms-decode||sms decode 01000791442143F5001002E834
sms-decode||sms decode 0011
sms-decode||sms decode 040B911346610089F60000208062917314080CC8F71D14969741F977FD07
cbs-decode||cbs decode 401203E80110C8329BFD060000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000
smsc||smsc
sim-status||sim status
sim-attempts||sim attempts
sim-identity||sim identity
sim-code|1234\n|sim unlock
sim-code|5678\n|sim unlock pin2
sim-code|1234\n4321\n4321\n|sim change-pin
sim-code|4321\n1234\n1234\n|sim change-pin
sim-code|12345678\n1234\n1234\n|sim puk
sim-pin-query|1234\n|sim pin-query off
sim-pin-query|1234\n|sim pin-query on
sim-phonebook-list||sim phonebook list adn
sim-phonebook-list||sim phonebook list sdn
sim-phonebook-write||sim phonebook add adn Ville +358401111111
sim-phonebook-write||sim phonebook edit adn 5 Mikko +358509876543
sim-phonebook-delete||sim phonebook delete adn 5
sim-fdn||sim fdn
sim-fdn|5678\n|sim fdn on
sim-fdn|5678\n|sim fdn off
sim-lock||sim lock status
sim-lock|12345678\n|sim lock unlock
ss-divert-status||ss divert status busy
ss-divert||ss divert set busy +358405200000
ss-divert-status||ss divert status busy
ss-divert||ss divert off busy
ss-divert||ss divert on busy
ss-divert||ss divert erase busy
ss-barring-status||ss barring status outgoing
ss-barring|0000\n|ss barring on outgoing
ss-barring|0000\n|ss barring off outgoing
ss-barring-password|0000\n1111\n1111\n|ss barring password
ss-barring-password|1111\n0000\n0000\n|ss barring password
ss-waiting-status||ss waiting status
ss-waiting||ss waiting off
ss-waiting||ss waiting on
ss-clir||ss clir
ss-clip||ss clip
ss-colp||ss colp
ss-colr||ss colr
ss-cnap||ss cnap
event||ussd *100#
event|2\n1\n|ussd *123#
dial||dial *#43#
dial||dial 0401234567
dial||dial *#06#
dial|**04*1234*4321*4321#\n|dial
dial|**04*4321*1234*1234#\n|dial
info||info
radio-mode||radio mode 2g
radio||radio
radio-mode||radio mode dual
cell||cell
time||time
COMMANDS
ctl register Roaming 248 01 "Telia EE"
json_check time "" time
out=$("$ondrix" --json status)
expect "--json status: numbers as numbers" '"bars":[0-9],"percent":[0-9]+,"dbm":-[0-9]+\}$' "$out"
expect "--json sms count" '^\{"segments":1,"encoding":"GSM 7-bit","locking":"default","single_shift":"default","per_segment":160,"free":158\}$' \
  "$("$ondrix" --json sms count hi)"
expect "--json sms decode: no message of a broken PDU" '"message":null' "$("$ondrix" --json sms decode 0011 2>/dev/null)"
# An answer's lines arrive as events: a selection's is one per line, none
# gathered into arrays, and searching has no operator.
out=$("$ondrix" --json select 2)
expect "--json select: the searching" '^\{"kind":"network","time":"[^"]+","reject":null,"status":"Searching"\}$' "$out"
expect "--json select: no operator while searching" '^\{"kind":"operator","time":"[^"]+","country":null,"mcc":null,"mnc":null\}$' "$out"
expect "--json select: the outcome" '^\{"kind":"selected","time":"[^"]+","reason":null,"success":true\}$' "$out"
out=$("$ondrix" --json status)
expect "--json status: searching, null operator" '"operator":"Baltic Link","mcc":"248"' "$out"
ctl reset
# monitor: every kind of change a line, each valid.
monitor_start "$PRIVATEBUS_DIR/monitor.json" --json monitor
ctl signal -90
ctl register Roaming 248 01 "Telia EE"
ctl sim state PINRequired
ctl emit com.kelvo.hvt.CSNet.NetworkRegistration RegistrationChanged Rejected PLMNNotAllowed
until_matches '"PLMNNotAllowed"' cat "$PRIVATEBUS_DIR/monitor.json" >/dev/null
monitor_stop
out=$(cat "$PRIVATEBUS_DIR/monitor.json")
expect "--json monitor: a signal event" '^\{"kind":"signal","time":"[^"]+","dbm":-90,"percent":37\}$' "$out"
expect "--json monitor: a refusal with its cause" '"kind":"network",.*"reject":"PLMNNotAllowed","status":"Rejected"' "$out"
printf 'event\t%s\t--json monitor\n' "$PRIVATEBUS_DIR/monitor.json" >>"$json_checks"
ctl reset

ctl release
out=$("$ondrix" status 2>&1); rc=$?
expect "daemon absent" '^daemon: +absent$' "$out"
expect "daemon absent: exit status" '^1$' "$rc"
expect_not "daemon absent: no neutral values" '^(operator|signal|network):' "$out"
out=$("$ondrix" --verbose status 2>&1)
expect "daemon absent, the reason with --verbose" 'Error: "org.freedesktop.DBus.Error.ServiceUnknown"' "$out"
# Every command that needs a daemon says it is absent, as status does.
for command in "power off" "info" "cell" "radio" "time" "smsc" "ss clir" "sim status" "ussd *100#" "dial *#43#" \
               "operators" "monitor"; do
  out=$(timeout 20 "$ondrix" $command </dev/null 2>&1); rc=$?
  expect "daemon absent: $command" '^daemon: +absent$' "$out"
  expect "daemon absent: $command, exit status" '^1$' "$rc"
done
# Absent, as JSON: the same object from every command that needs the daemon.
for command in "status" "operators" "select auto" "power on" "monitor" "smsc" "sim status" "sim attempts" \
               "sim phonebook list" "ss divert status busy" "ss barring password" "ss clip" "ussd *100#" "dial *#43#" \
               "info" "radio" "radio mode 2g" "cell" "time"; do
  json_check absent "" $command
done

out=$(python3 "$(dirname "$0")/support/jsoncheck.py" "$schema" --batch "$json_checks")
passed=$((passed + $(grep -c '^ok: ' <<<"$out")))
failed=$((failed + $(grep -c '^FAIL: ' <<<"$out")))
grep -v '^ok: ' <<<"$out"
expect "every --json output held to the schema" "^$(wc -l <"$json_checks")\$" "$(grep -c -E '^(ok|FAIL): ' <<<"$out")"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
