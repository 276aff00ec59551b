#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The long runs "make check" leaves out: every fuzz target for a set time (two
# at a time), then the hostile mode against every class for 10^5 events under
# the sanitizers. Prints the figures the README keeps.
#   SOAK_SECONDS   seconds for the targets whose inputs cost most (conv,
#                  serialize: 600, enough for 10^7 executions); the others get
#                  a fifth of it, the bus target half
#   SOAK_EVENTS    hostile-mode events (100000)
set -euo pipefail
ulimit -c 0
cd "$(dirname "$0")/.."
seconds=${SOAK_SECONDS:-600}
events=${SOAK_EVENTS:-100000}
scripts/deps.sh
cmake -S . -B build-fuzz -DONDRIX_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fuzz() {   # fuzz TARGET SECONDS: a line of figures, or the failure's log
  local target=$1 time=$2
  mkdir -p "$work/$target"
  cp fuzz/corpus/"$target"/* "$work/$target/"
  if (cd "$work" && "$OLDPWD/build-fuzz/fuzz/fuzz_$target" -max_total_time="$time" -print_final_stats=1 \
        -max_len=1024 "$work/$target" >"$work/$target.log" 2>&1); then
    printf '%-12s %6ss %14s executions %10s a second\n' "$target" "$time" \
      "$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")" \
      "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$target.log")"
  else
    tail -n 60 "$work/$target.log"
    echo "soak: fuzz_$target failed" >&2
    return 1
  fi
}

echo "== fuzz targets"
pids=()
for seeds in fuzz/corpus/*/; do
  target=$(basename "$seeds")
  case $target in
    conv|serialize) time=$seconds ;;
    bus) time=$((seconds / 2)) ;;
    *) time=$((seconds / 5)) ;;
  esac
  fuzz "$target" "$time" > "$work/$target.line" &
  pids+=($!)
  # Two at a time: one per core.
  if [ ${#pids[@]} -ge "$(nproc)" ]; then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid"; done
cat "$work"/*.line

echo "== the hostile mode, $events events"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DONDRIX_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-asan --target tst_chaos -j"$(nproc)" >/dev/null
# The settings ctest gives tst_chaos, without its time limits.
reports=$work/sanitizer/report
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:log_path=$reports LSAN_OPTIONS=exitcode=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_path=$reports \
ONDRIX_CHAOS_EVENTS=$events QTEST_FUNCTION_TIMEOUT=3600000 \
  tests/sanitized.sh "$PWD" "$PWD/build-asan" build-asan/tests/tst_chaos 2>&1 \
  | grep -E '^(QINFO|PASS|FAIL|Totals)|chaos:|sanitiz|leak' | sed 's/^QINFO *: *//'
echo "soak: done"
