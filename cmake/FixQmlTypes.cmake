# SPDX-License-Identifier: LGPL-2.1-or-later
# Qt 6's plugin dumper writes a type description that Qt 6's own tools read
# only in part: export revisions as in Qt 5, QML type names ("string") where
# they expect C++ ones, and flags as QFlags<...> where they expect the flags'
# name. Mends those, in place.
#   cmake -DFILE=plugins.qmltypes -P FixQmlTypes.cmake
file(READ ${FILE} text)
string(REPLACE "exportMetaObjectRevisions: [0]" "exportMetaObjectRevisions: [256]" text "${text}")
string(REPLACE "type: \"string\"" "type: \"QString\"" text "${text}")
string(REGEX REPLACE "type: \"QFlags<[A-Za-z:]*::([A-Za-z]+)>\"" "type: \"\\1s\"" text "${text}")
file(WRITE ${FILE} "${text}")
