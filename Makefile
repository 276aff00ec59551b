# SPDX-License-Identifier: LGPL-2.1-or-later
# The two commands of the project. Everything else is CMake.
.PHONY: all build demo demo-qml demo-ofono check soak stress deb clean
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

# The library over a real oFono: simulator (AT) -> ofonod -> ondrix-ofono -> ondrix.
demo-ofono: build
	scripts/demo-ofono.sh

# The dialler example and the simulator's panel (SCENARIO=pin-locked-sim, ...).
demo-qml: build
	scripts/demo-qml.sh $(SCENARIO)

check:
	scripts/deps.sh
	scripts/check.sh

# The long runs: fuzz targets for minutes, the hostile mode for 10^5 events.
soak:
	scripts/soak.sh

# The suite RUNS times (10) with two CPU burners, after make check.
stress:
	scripts/stress.sh $(RUNS)

# The Qt 5 packages in build-deb, the Qt 6 ones in build-deb-qt6.
deb:
	scripts/deps.sh
	scripts/debbuilds.sh
	scripts/debs.sh build-deb
	scripts/debs.sh build-deb-qt6

clean:
	rm -rf build build-asan build-qt6 build-deb build-deb-qt6 build-fuzz stage
