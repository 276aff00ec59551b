#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The whole suite, again and again, on a loaded machine: each run is ctest -j2
# in the plain, the sanitizer and the Qt 6 build while two CPU burners take a
# core each.
# Prints how many runs passed, and keeps the output of those that failed.
#   scripts/stress.sh [RUNS]   (10 by default; the builds must exist: make check)
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
dirs=(build build-asan build-qt6)
for dir in "${dirs[@]}"; do
  [ -f "$dir/CTestTestfile.cmake" ] || { echo "stress: no tests in $dir; run make check first" >&2; exit 2; }
done
ulimit -c 0
logs=$(mktemp -d /tmp/ondrix-stress.XXXXXX)
burners=()
for _ in 1 2; do
  (while :; do :; done) &
  burners+=($!)
done
trap 'kill "${burners[@]}" 2>/dev/null' EXIT

passed=0
for run in $(seq "$runs"); do
  ok=1 start=$SECONDS
  for dir in "${dirs[@]}"; do
    if ! (cd "$dir" && ctest -j2 --output-on-failure) >"$logs/run$run-${dir}.log" 2>&1; then
      ok=0
      echo "run $run: $dir failed: $(grep -E '^[[:space:]]*[0-9]+ - ' "$logs/run$run-${dir}.log" | tr -s ' ' | tr '\n' ';')"
    else
      rm "$logs/run$run-${dir}.log"
    fi
  done
  [ "$ok" = 1 ] && passed=$((passed + 1))
  echo "run $run: $([ "$ok" = 1 ] && echo passed || echo failed) in $((SECONDS - start)) s"
done
echo "stress: $passed of $runs runs passed with two CPU burners"
[ "$passed" -eq "$runs" ] && rm -rf "$logs" || echo "stress: the failed runs' output is in $logs"
[ "$passed" -eq "$runs" ]
