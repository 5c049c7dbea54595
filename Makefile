# SPDX-License-Identifier: GPL-3.0-or-later
# Thin wrapper over the CMake presets.
JOBS ?= 2
.PHONY: run test build build-asan bench screenshots package clean

build:
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

build-asan:
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)

run: build
	cd build/release/game && ./quorvel

test: build build-asan
	ctest --preset release
	ctest --preset asan

bench: build
	cmake --build --preset release --target benchmarks -j $(JOBS)
	./bench/run-benchmarks.sh build/release

# The Debian package (build/release/packages/), checked by tools/check-package.sh.
package: build
	rm -rf build/release/packages
	cmake --build --preset release --target package

clean:
	rm -rf build
