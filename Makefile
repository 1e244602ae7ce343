# Quillmere: `make run` to play, `make test` to run every test headless.
BUILD     ?= build
ASAN      ?= build-asan
JOBS      ?= $(shell nproc)
CMAKE_GEN := -G Ninja

# A clean clone elsewhere reuses what an earlier build compiled.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := true

.PHONY: all run test test-asan bench bootstrap configure build clean

all: build

bootstrap:
	@bash tools/bootstrap.sh

$(BUILD)/CMakeCache.txt: | bootstrap
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: bootstrap $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/bin && ./game

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Unit tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: bootstrap
	cmake -S . -B $(ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L unit
	# The GL driver keeps allocations of its own until exit: leaks are not
	# checked in the renderer tests, everything else is.
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L gl

bench: bootstrap
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DQM_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; done; true

clean:
	rm -rf $(BUILD) $(ASAN)
