#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Instructions per character of each of the codec benchmarks' operations,
# counted by Callgrind (this machine has no hardware counters to read):
#   bench/instructions.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
report=$build/bench/sms_report
[ -x "$report" ] || { echo "instructions: build $report first (BUILD_TESTING=ON)" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "instructions: valgrind is missing (scripts/deps.sh)" >&2; exit 1; }
out=$(mktemp)
trap 'rm -f "$out"' EXIT
printf '%-18s %12s %10s\n' operation instructions per-char
for op in SizeGsm160 SizeGsm4000 SizeUcs2_160 SizeUcs2_4000 ChooseTurkish4000 Serialize10 Deserialize10; do
  chars=$(valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$out" "$report" run "$op" 20 2>/dev/null \
          | awk '{ print $2 }')
  total=$(awk '/^(summary|totals):/ { print $2 }' "$out" | tail -n1)
  printf '%-18s %12s %10.1f\n' "$op" "$total" "$(echo "$total / $chars" | bc -l)"
done
