#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Test code against product code: non-blank C, C++ and QML lines of tests/
# and fuzz/ against those of the library, the codec, the QML module, the
# tools and the examples; generated tables are left out, the benchmarks
# count on neither side.
set -euo pipefail
cd "$(dirname "$0")/.."
lines() {
  find "$@" -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' -o -name '*.qml' \) ! -path sms/tables.c \
    -exec grep -hcv '^[[:space:]]*$' {} + | awk '{ n += $1 } END { print n + 0 }'
}
tests=$(lines tests fuzz)
product=$(lines src include sms platform tools qml examples)
echo "tests $tests, product $product: $(( (tests * 1000 / product + 5) / 10 )) %"
