# Two entry points for a fresh Debian 12 machine: `make run` and `make test`.
PRESET ?= release
JOBS ?= $(shell nproc)
BUILD := build/$(PRESET)

.PHONY: deps configure build run test test-asan test-tsan bench package fuzz format clean

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	$(BUILD)/src/app/larkspool8

test: build
	@ctest --preset $(PRESET) -j $(JOBS)

test-asan:
	@$(MAKE) --no-print-directory test PRESET=asan

test-tsan:
	@$(MAKE) --no-print-directory test PRESET=tsan

bench: build
	@scripts/run-benchmarks $(BUILD)

package: build
	@cd $(BUILD) && cpack -G DEB

fuzz: deps
	@cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j $(JOBS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
