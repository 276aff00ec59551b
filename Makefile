# SPDX-License-Identifier: LGPL-2.1-or-later
# The two commands of the project. Everything else is CMake.
.PHONY: all build demo check clean

all: build

build:
	scripts/deps.sh
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j$$(nproc)

demo: build
	scripts/demo.sh

check:
	scripts/deps.sh
	scripts/check.sh

clean:
	rm -rf build build-asan build-fuzz stage
