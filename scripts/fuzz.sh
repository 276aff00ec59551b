#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Builds the fuzz targets (the codec's decoders, the library on the bus, the
# simulator's AT port) with clang and runs each for a bounded time from its
# seed corpus (the seeds are copied: the run leaves the tree alone), as many
# at a time as there are processors.
set -euo pipefail
cd "$(dirname "$0")/.."
export FUZZ_SECONDS=${FUZZ_SECONDS:-20} FUZZ_MAX_LEN=${FUZZ_MAX_LEN:-1024}
cmake -S . -B build-fuzz -DONDRIX_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export work targets=$PWD/build-fuzz/fuzz

run_one() {
  local seeds=$1 target rc=0
  target=$(basename "$seeds")
  mkdir -p "$work/$target"
  cp "$seeds"/* "$work/$target/"
  # An input that takes ten seconds is a hang, and fails.
  (cd "$work" && "$targets/fuzz_$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 \
     -print_final_stats=1 -max_len="$FUZZ_MAX_LEN" "$work/$target" >"$work/$target.log" 2>&1) || rc=$?
  {
    echo "== fuzz $target for ${FUZZ_SECONDS}s"
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$work/$target.log" || true
    if [ "$rc" -ne 0 ]; then
      tail -n 60 "$work/$target.log"
      echo "fuzz: $target failed"
    fi
  } >"$work/$target.result"
  [ "$rc" -eq 0 ]
}
export -f run_one
rc=0
printf '%s\n' fuzz/corpus/*/ | xargs -P "$(nproc)" -I{} bash -c 'run_one "$1"' _ {} || rc=$?
cat "$work"/*.result
[ "$rc" -eq 0 ] || { echo "fuzz: a target failed" >&2; exit 1; }
