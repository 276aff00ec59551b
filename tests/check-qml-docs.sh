#!/bin/bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Every type of the QML module is in the API reference, and so is each of its
# properties, methods, signals and enumerations: in the QML page, or in the
# public header of the C++ class behind it. Read from the installed type
# description, so a member added to QML without a word about it fails here.
# usage: check-qml-docs.sh SOURCE_DIR BUILD_DIR
set -u
src=$1 build=$2
types=$build/qml/Ondrix/plugins.qmltypes
page=$src/docs/qml.md
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -s "$types" ] || { echo "FAIL: no $types"; exit 1; }
grep -q '^typeinfo plugins.qmltypes$' "$src/qml/qmldir" || fail "qmldir names no typeinfo"

# "Component NAME" lines, then "export QMLNAME" and "member KIND NAME" lines.
listing=$(awk '
  /^    Component \{/ { component = ""; take = 0 }
  /^        name: "/ && component == "" { split($0, q, "\""); component = q[2]; print "component " component }
  /^        exports: \[/ { n = split($0, q, "\""); for (i = 2; i <= n; i += 2) { split(q[i], e, "[/ ]"); print "export " e[2] } }
  /^        (Property|Method|Signal|Enum) \{/ {
      kind = $1
      if (match($0, /name: "[^"]*"/)) { print "member " kind " " substr($0, RSTART + 7, RLENGTH - 8) } else take = 1
      next
  }
  take && /^            name: "/ { split($0, q, "\""); print "member " kind " " q[2]; take = 0 }
' "$types")

component=
while read -r what a b; do
  case $what in
    component) component=$a ;;
    export)
      grep -q "\`$a\`" "$page" || fail "the QML type $a ($component) is not in docs/qml.md" ;;
    member)
      # The C++ class behind it: Ondrix::SIM::SIMStatus is include/ondrix-qt/simstatus.h.
      class=${component##*::}
      header=$src/include/ondrix-qt/$(tr 'A-Z' 'a-z' <<<"$class").h
      if ! grep -qw -- "$b" "$page" && ! { [ -f "$header" ] && grep -qw -- "$b" "$header"; }; then
        fail "$a $b of $component is documented nowhere (docs/qml.md, ${header#$src/})"
      fi ;;
  esac
done <<<"$listing"

# Every property of a QML type (its own and its C++ bases') has its row in the
# type's table under "Properties": "| `name` | ...".
properties=$(awk '
  /^    Component \{/ { c = ""; next }
  /^        name: "/ && c == "" { split($0, q, "\""); c = q[2] }
  /^        prototype: "/ { split($0, q, "\""); proto[c] = q[2] }
  /^        exports: \[/ { split($0, q, "\""); split(q[2], e, "[/ ]"); exported[c] = e[2] }
  /^        Property \{/ { if (match($0, /name: "[^"]*"/)) props[c] = props[c] " " substr($0, RSTART + 7, RLENGTH - 8); else take = 1; next }
  take && /^            name: "/ { split($0, q, "\""); props[c] = props[c] " " q[2]; take = 0 }
  /^        [A-Z][a-z]+ \{/ { take = 0 }
  END {
    for (c in exported)
      for (k = c; k != ""; k = proto[k]) {
        n = split(props[k], list, " ")
        for (i = 1; i <= n; i++) print exported[c], list[i]
      }
  }' "$types" | sort -u)
while read -r type property; do
  [ -n "$type" ] || continue
  sed -n "/^### $type\$/,/^#/p" "$page" | grep -q "^| \`$property\` |" \
    || fail "the property $type.$property has no row under \"### $type\" in docs/qml.md"
done <<<"$properties"

exported=$(grep -c '^export ' <<<"$listing")
[ "$exported" -ge 20 ] || fail "only $exported QML types found in $types"
[ $failures -eq 0 ] && echo "qml docs: $exported types, $(grep -c '^member ' <<<"$listing") members documented," \
  "$(grep -c . <<<"$properties") properties in their tables"
exit $((failures > 0))
