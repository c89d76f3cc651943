# Two entry points for a fresh Debian 13 or 12 machine: `make run` and `make test`.
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
	@ctest --preset $(PRESET) -j $(JOBS) $(CTEST_ARGS)

# The unit suites under the sanitizers, and the real app through the sound server's stalls; the
# other end-to-end and packaging checks run in `test`.
test-asan:
	@$(MAKE) --no-print-directory test PRESET=asan CTEST_ARGS="-LE 'e2e|packaging'"
	@ctest --preset asan -L sanitized

# The code that crosses threads: the mixer, its queue and the engine around them, plays sent
# from one thread while another renders, and the hand-over of clips decoded ahead.
test-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS) --target audio_tests realtime_tests
	@ctest --preset tsan -R '^(MixerTest|SpscQueueTest|SoundSystemTest|IdleStopTest|RealTimeTest|DecodeAheadTest)\.'

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
