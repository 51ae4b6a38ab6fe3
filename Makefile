# Zq Vandrell: `make run` builds and starts kestrom.exe under Wine,
# `make test` builds and runs every test (cross build under Wine, native
# build of the pure-logic code under the sanitizers).
SHELL := /bin/bash
JOBS ?= $(shell nproc)
W32 := build/win32
W64 := build/win64
NAT := build/native
# The build whose programs the tests run (build/win64 where the host cannot
# execute 32-bit code; see scripts/test-build).
TESTB = $(shell scripts/test-build)
DEPS_PREFIX = $(shell scripts/build-deps.sh --prefix)

.PHONY: all deps configure build test test-win32 test-native run clean

all: build

deps:
	@scripts/install-deps.sh
	@scripts/build-deps.sh
	@[ "$(TESTB)" != $(W64) ] || scripts/build-deps.sh cmake/toolchain-mingw64.cmake

configure: deps
	@[ -f $(W32)/build.ninja ] || cmake -S . -B $(W32) -G Ninja \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
	    -DVANDRELL_DEPS_PREFIX=$(DEPS_PREFIX) >/dev/null
	@[ "$(TESTB)" != $(W64) ] || [ -f $(W64)/build.ninja ] || cmake -S . -B $(W64) -G Ninja \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
	    -DVANDRELL_DEPS_PREFIX=$(shell scripts/build-deps.sh --prefix cmake/toolchain-mingw64.cmake) >/dev/null
	@[ -f $(NAT)/build.ninja ] || cmake -S . -B $(NAT) -G Ninja -DVANDRELL_NATIVE=ON >/dev/null

build: configure
	cmake --build $(W32) -j $(JOBS)
	[ "$(TESTB)" != $(W64) ] || cmake --build $(W64) -j $(JOBS)
	cmake --build $(NAT) -j $(JOBS)

test: build test-native test-win32

test-native:
	ctest --test-dir $(NAT) --output-on-failure -j $(JOBS)

test-win32:
	scripts/with-sandbox --build $(TESTB) ctest --test-dir $(TESTB) --output-on-failure -j $(JOBS)

run: build
	scripts/run-kestrom $(TESTB)

clean:
	rm -rf build
