# The front door: `make` builds, `make test` builds and runs every test, `make demo` builds what the demo
# runs and shows Glintmere at work,
# `make package` builds Glintmere's .debs in build/packages/, `make device` the phone's binaries in
# build/device/, `make repo` writes build/repo/, a package source holding every package built, `make
# fuzz` runs the fuzz targets for a while.
.PHONY: all deps configure build test demo package repo device install bench fuzz format clean

JOBS ?= $(shell nproc)
# Seconds that `make fuzz` runs each fuzz target.
FUZZ_SECONDS ?= 60
# The build's own makes run below this one; they name no directories they enter.
MAKEFLAGS += --no-print-directory
export MAKEFLAGS

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset default >/dev/null

build: configure
	@cmake --build --preset default -j $(JOBS)

test: build
	@ctest --preset default -j $(JOBS)

# The demo shows the demo: the build of what it runs (no test program) speaks only when it fails.
demo: configure
	@log=$$(mktemp); if ! cmake --build --preset default --target demo -j $(JOBS) >"$$log" 2>&1; then cat "$$log"; rm -f "$$log"; exit 1; fi; rm -f "$$log"
	@scripts/demo

package: configure
	@cmake --build --preset default --target glintmere-package -j $(JOBS)

# Onto a phone over SSH: PHONE=[user@]host, PHONE_PORT (22), PHONE_SSH (more ssh options).
install:
	@if [ -z "$(PHONE)" ]; then echo "make install: set PHONE to the phone to install onto, as [user@]host: make install PHONE=root@192.168.1.20 (PHONE_PORT and PHONE_SSH if needed)" >&2; exit 1; fi
	@$(MAKE) package
	@scripts/install-phone "$$(ls build/packages/com.brightmoth.glintmere_*_iphoneos-arm.deb | sort -V | tail -n 1)"

# After the whole build, so that the source holds every package it makes.
repo: build
	@cmake --build --preset default --target glintmere-repo

device: configure
	@cmake --build --preset default --target device -j $(JOBS)

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target benchmarks -j $(JOBS)
	@scripts/bench

fuzz: deps
	@JOBS=$(JOBS) scripts/fuzz $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.hpp' | xargs clang-format -i

clean:
	@rm -rf build
