# SPDX-License-Identifier: LGPL-2.1-or-later
# The two commands of the project. Everything else is CMake.
.PHONY: all build demo demo-qml check soak deb clean
# What a person reads: no "Entering directory" lines from the builds below.
MAKEFLAGS += --no-print-directory
export MAKEFLAGS

all: build

build:
	scripts/deps.sh
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j$$(nproc)

demo: build
	scripts/demo.sh

# The dialler example and the simulator's panel (SCENARIO=pin-locked-sim, ...).
demo-qml: build
	scripts/demo-qml.sh $(SCENARIO)

check:
	scripts/deps.sh
	scripts/check.sh

# The long runs: fuzz targets for minutes, the hostile mode for 10^5 events.
soak:
	scripts/soak.sh

deb:
	scripts/deps.sh
	cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF >/dev/null
	cmake --build build-deb -j$$(nproc)
	scripts/debs.sh build-deb

clean:
	rm -rf build build-asan build-qt6 build-deb build-fuzz stage
