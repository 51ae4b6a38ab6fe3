# Zq Vandrell: `make run` builds and starts kestrom.exe under Wine,
# `make test` builds and runs every test (cross build under Wine, native
# build of the pure-logic code under the sanitizers).
SHELL := /bin/bash
JOBS ?= $(shell nproc)
W32 := build/win32
NAT := build/native
DEPS_PREFIX = $(shell scripts/build-deps.sh --prefix)

.PHONY: all deps configure build test test-win32 test-native run clean

all: build

deps:
	@scripts/install-deps.sh
	@scripts/build-deps.sh

configure: deps
	@[ -f $(W32)/build.ninja ] || cmake -S . -B $(W32) -G Ninja \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
	    -DVANDRELL_DEPS_PREFIX=$(DEPS_PREFIX) >/dev/null
	@[ -f $(NAT)/build.ninja ] || cmake -S . -B $(NAT) -G Ninja -DVANDRELL_NATIVE=ON >/dev/null

build: configure
	cmake --build $(W32) -j $(JOBS)
	cmake --build $(NAT) -j $(JOBS)

test: build test-native test-win32

test-native:
	ctest --test-dir $(NAT) --output-on-failure -j $(JOBS)

test-win32:
	scripts/with-sandbox --build $(W32) ctest --test-dir $(W32) --output-on-failure -j $(JOBS)

run: build
	scripts/run-kestrom $(W32)

clean:
	rm -rf build
