#!/bin/bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The manual pages and the bash completion must name what the tools' own usage names;
# the bridge's mapping page every member of the interfaces.
# usage: check-docs.sh SOURCE_DIR BUILD_DIR
set -u
src=$1 build=$2
ondrix=$build/tools/ondrix/ondrix
modemsim=$build/tools/modemsim/ondrix-modemsim
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
sorted() { tr ' ' '\n' | sed '/^$/d' | sort -u | tr '\n' ' '; }

# What a completion offers after the given words (the last one is being typed).
complete_words() {
    local script=$1 function=$2; shift 2
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); '"$function"'; echo "${COMPREPLY[*]}"' \
        _ "$script" "$@"
}

# ondrix: the commands of its usage, its manual page and its completion.
usage_commands=$("$ondrix" --help | sed -n 's/^  \([a-z]\+\)\( .*\)\?$/\1/p' | sorted)
[ -n "$usage_commands" ] || fail "ondrix --help lists no commands"
man_commands=$(sed -n '/^\.SH COMMANDS/,/^\.SH/s/^\.BR\? \([a-z]*\).*/\1/p' "$src/docs/man/ondrix.1" | sorted)
[ "$usage_commands" = "$man_commands" ] || fail "ondrix.1 commands [$man_commands] differ from usage [$usage_commands]"
completed=$(complete_words "$src/tools/completion/ondrix" _ondrix ondrix "" | sorted)
[ "$usage_commands" = "$completed" ] || fail "completion of ondrix [$completed] differs from usage [$usage_commands]"
[ "$(complete_words "$src/tools/completion/ondrix" _ondrix ondrix sim ch)" = change-pin ] \
    || fail "completion of 'ondrix sim ch'"

# Every usage line of a command with options: the completion offers that
# command its options and no other's, and the values of a LANG.
for group in sms; do
    "$ondrix" $group --help | sed 's/^usage: //; s/^ *//' | grep "^ondrix $group [a-z]" | while read -r line; do
        read -r _ _ command _ <<<"$line"
        want=$(grep -o -- '--[a-z]*' <<<"$line" | sorted)
        [ -z "$want" ] && continue
        got=$(complete_words "$src/tools/completion/ondrix" _ondrix ondrix $group $command - | sorted)
        [ "$got" = "$want" ] || fail "completion of 'ondrix $group $command -' offers [$got], its usage [$want]"
        got=$(complete_words "$src/tools/completion/ondrix" _ondrix ondrix $group $command "" | sorted)
        [ "$got" = "$want" ] || fail "completion of 'ondrix $group $command ' offers [$got], its usage [$want]"
    done
done
# "LANG: default, turkish, ..., or auto: what auto does"
langs=$("$ondrix" sms --help | sed -n 's/^LANG: \(.*\bauto\):.*/\1/p' | sed 's/,//g; s/ or / /' | sorted)
got=$(complete_words "$src/tools/completion/ondrix" _ondrix ondrix sms count --lang "" | sorted)
[ "$got" = "$langs" ] || fail "completion of --lang offers [$got], the usage [$langs]"

# ondrix.1 names every key and every kind of event of the JSON output.
for key in $(python3 "$src/tests/support/jsoncheck.py" "$src/tools/ondrix/ondrix.schema.json" --keys); do
    grep -qF "\\fB$key\\fR" "$src/docs/man/ondrix.1" || fail "ondrix.1 does not name the JSON key $key"
done

# ondrix-modemsim: its options and its ctl commands.
options=$("$modemsim" --help | grep -o -- '--[a-z]*' | sorted)
for option in $options; do
    grep -q -- "${option//-/\\\\-}" "$src/docs/man/ondrix-modemsim.1" || fail "ondrix-modemsim.1 lacks $option"
    { complete_words "$src/tools/completion/ondrix-modemsim" _ondrix_modemsim ondrix-modemsim ""
      complete_words "$src/tools/completion/ondrix-modemsim" _ondrix_modemsim ondrix-modemsim record ""; } | grep -q -- "$option" \
        || fail "completion of ondrix-modemsim lacks $option"
done
# A ctl command is the first word of a usage line, or of each of its "|" alternatives.
ctl_commands=$("$modemsim" ctl --help | grep '^  [a-z]' \
    | awk -F'|' '{ for (i = 1; i <= NF; i++) { split($i, w, " "); print w[1] } }' | sorted)
[ -n "$ctl_commands" ] || fail "ondrix-modemsim ctl --help lists no commands"
completed=$(complete_words "$src/tools/completion/ondrix-modemsim" _ondrix_modemsim ondrix-modemsim ctl "")
for command in $ctl_commands; do
    sed -n '/^\.SH CTL COMMANDS/,/^\.SH/p' "$src/docs/man/ondrix-modemsim.1" | grep -q -- "${command//-/\\\\-}" \
        || fail "ondrix-modemsim.1 lacks ctl $command"
    echo " $completed " | grep -q " $command " || fail "completion of ctl lacks $command"
done
"$modemsim" ctl >/dev/null 2>&1; [ $? = 2 ] || fail "ondrix-modemsim ctl without a command must exit 2"

# ondrix-ofono: its options in its page; every member of every interface in
# the mapping page, under its interface's heading.
for option in $("$build/tools/ofono/ondrix-ofono" --help | grep -o -- '--[a-z]*' | sort -u); do
    grep -q -- "${option//-/\\\\-}" "$src/docs/man/ondrix-ofono.1" || fail "ondrix-ofono.1 lacks $option"
done
for file in "$src"/interfaces/*.xml; do
    interface=$(basename "$file" .xml)
    section=$(sed -n "/^### $interface\( \|\$\)/,/^### /p" "$src/docs/ofono.md")
    [ -n "$section" ] || { fail "docs/ofono.md has no section $interface"; continue; }
    for member in $(grep -o '<\(method\|signal\|property\) name="[A-Za-z]*"' "$file" | sed 's/.*name="\(.*\)"/\1/' | sort -u); do
        echo "$section" | grep -q "\`$member\`" || fail "docs/ofono.md does not map $interface.$member"
    done
done

# The pages themselves: groff finds nothing to warn about.
for page in "$src"/docs/man/*.1; do
    warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

[ $failures = 0 ] && echo "docs agree with the tools"
exit $((failures > 0))
