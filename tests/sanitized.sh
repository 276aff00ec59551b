#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Runs one test of the sanitizer build and judges what the sanitizers wrote.
#
#   sanitized.sh SOURCE_DIR BUILD_DIR [--expect-leak-in NAME] COMMAND [ARG...]
#
# The test's CTest environment sends the reports of all its processes (the
# test, the simulator and the tools it starts) to files named by log_path, and
# keeps a leak from changing a process's exit status. After the command:
#  - a memory error or undefined behaviour, in any process, fails the test;
#  - a leak fails the test when a frame of its allocation's stack is this
#    project's code (a path under SOURCE_DIR or BUILD_DIR);
#  - a leak of Qt's own (no frame of ours: the offscreen platform's screen,
#    QtDBus's thread at exit) is listed and passes.
# With --expect-leak-in, the judgement is reversed: the test passes only when
# it is failed by a leak of ours whose stack names NAME (the planted leaks
# that prove the rule).
set -uo pipefail
source_dir=$1 build_dir=$2; shift 2
expect=
if [ "${1:-}" = --expect-leak-in ]; then expect=$2; shift 2; fi

[[ ${ASAN_OPTIONS:-} =~ log_path=([^:]+) ]] || { echo "sanitized: ASAN_OPTIONS names no log_path" >&2; exit 2; }
reports=${BASH_REMATCH[1]}
mkdir -p "$(dirname "$reports")"
# Processes of other users (the bus policy test's) write here too.
chmod 1777 "$(dirname "$reports")"
rm -f "$reports".*
# A sanitizer's core is the size of its shadow memory.
ulimit -c 0

"$@"
rc=$?

ours=0 qts=0 errors=0
for report in "$reports".*; do
  [ -e "$report" ] || continue
  if grep -q -E 'runtime error:|ERROR: AddressSanitizer|ERROR: UndefinedBehaviorSanitizer|WARNING: AddressSanitizer' "$report"; then
    errors=$((errors + 1))
    echo "== sanitizer error (${report##*/}):"
    cat "$report"
    continue
  fi
  # The leaks, one paragraph each: ours when any frame lies in the tree.
  verdict=$(awk -v src="$source_dir/" -v bin="$build_dir/" '
    /^(Direct|Indirect) leak of/ { if (block != "") judge(); block = $0 "\n"; mine = 0; next }
    block != "" && /^ *#[0-9]+ / { block = block $0 "\n"; if (index($0, src) || index($0, bin)) mine = 1; next }
    block != "" { judge(); block = "" }
    END { if (block != "") judge() }
    function judge() { printf "%s\n%s", (mine ? "OURS" : "QT"), block }
  ' "$report")
  if grep -q '^OURS$' <<<"$verdict"; then
    ours=$((ours + 1))
    echo "== a leak with a frame of ours (${report##*/}):"
    awk '/^(OURS|QT)$/ { show = ($0 == "OURS"); next } show' <<<"$verdict"
  elif grep -q '^QT$' <<<"$verdict"; then
    qts=$((qts + 1))
    echo "-- Qt's own leak, no frame of ours (${report##*/}): $(grep -c 'leak of' <<<"$verdict") allocation(s), first at" \
         "$(grep -m1 -E '^ *#1 ' <<<"$verdict" | sed -E 's/^ *#1 0x[0-9a-f]+ (in )?//')"
  fi
done

if [ -n "$expect" ]; then
  if [ "$ours" -gt 0 ] && grep -q -- "$expect" "$reports".* 2>/dev/null; then
    echo "sanitized: a leak of ours in $expect failed the test, as it must"
    exit 0
  fi
  echo "sanitized: no leak of ours in $expect failed the test" >&2
  exit 1
fi
if [ "$errors" -gt 0 ] || [ "$ours" -gt 0 ]; then
  echo "sanitized: $errors sanitizer error report(s), $ours process(es) leaking with a frame of ours" >&2
  [ "$rc" -ne 0 ] && exit "$rc"
  exit 1
fi
exit "$rc"
