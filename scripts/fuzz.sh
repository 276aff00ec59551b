#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Builds the fuzz targets (the codec's decoders, the library on the bus, the
# simulator's AT port) with clang and runs each for a bounded time
# from its seed corpus (the seeds are copied: the run leaves the tree alone).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
cmake -S . -B build-fuzz -DONDRIX_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for seeds in fuzz/corpus/*/; do
  target=$(basename "$seeds")
  mkdir -p "$work/$target"
  cp "$seeds"/* "$work/$target/"
  echo "== fuzz $target for ${seconds}s"
  rc=0
  # An input that takes ten seconds is a hang, and fails.
  (cd "$work" && "$OLDPWD/build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
     -print_final_stats=1 -max_len=${FUZZ_MAX_LEN:-1024} "$work/$target" >"$work/$target.log" 2>&1) || rc=$?
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$work/$target.log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 60 "$work/$target.log"
    echo "fuzz: $target failed" >&2
    exit 1
  fi
done
