#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The library exports its public classes and the SMS codec's functions, and
# nothing else but the weak instantiations Qt 6's headers make of their own
# templates (meta-type converters and views).
set -euo pipefail
lib=$1
bad=$(nm -D --defined-only "$lib" | awk '{print $3}' | c++filt | grep -v -E \
  -e '^(typeinfo for |typeinfo name for |vtable for |non-virtual thunk to )?Ondrix::' \
  -e '^Ondrix::operator<<\(QDebug, Ondrix::' \
  -e '^operator(<<|>>)\((QDBusArgument|QDBusArgument const)&, OperatorStruct( const)?&\)$' \
  -e '^(sms_|encode_|decode_|get_|set_|check_)' \
  -e '^_(init|fini)$' \
  -e '^(guard variable for |typeinfo for |typeinfo name for )?QMetaType::' -e '^QMeta(Sequence|Association)::' \
  -e '^std::' || true)
if [ -n "$bad" ]; then
  echo "unexpected exported symbols:"; echo "$bad"; exit 1
fi
count=$(nm -D --defined-only "$lib" | wc -l)
echo "exports: $count symbols, all public API"
