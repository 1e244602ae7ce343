# Quillmere: `make run` to play, `make test` to run every test headless.
BUILD     ?= build
ASAN      ?= build-asan
JOBS      ?= $(shell nproc)
CMAKE_GEN := -G Ninja

# A clean clone elsewhere reuses what an earlier build compiled.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := true

.PHONY: all run test test-asan bench fuzz bootstrap configure build clean

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

# Every fuzz target (fuzz/) built with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, run FUZZ_TIME seconds each, FUZZ_PARALLEL at once,
# from the generated seeds; new inputs collect in $(FUZZ)/fuzz/work/<target>,
# crashes in $(FUZZ)/fuzz/findings/<target> (copy them into
# fuzz/regressions/<target>), each run's output in $(FUZZ)/fuzz/logs/<target>.log.
FUZZ      ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_PARALLEL ?= 1
FUZZ_CC   ?= clang-14
FUZZ_CXX  ?= clang++-14
FUZZ_FLAGS := -fsanitize=address,undefined,float-cast-overflow,fuzzer-no-link -fno-sanitize-recover=undefined,float-cast-overflow -fno-omit-frame-pointer
fuzz: bootstrap
	@command -v $(FUZZ_CXX) >/dev/null || { echo "make fuzz needs $(FUZZ_CXX) (tools/bootstrap.sh installs it)"; exit 1; }
	CCACHE_DISABLE=1 cmake -S . -B $(FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_FUZZ=ON -DQM_TESTS=OFF \
	  -DCMAKE_C_COMPILER=$(FUZZ_CC) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) \
	  "-DCMAKE_C_FLAGS=$(FUZZ_FLAGS)" "-DCMAKE_CXX_FLAGS=$(FUZZ_FLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined,float-cast-overflow" \
	  "-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined,float-cast-overflow"
	cmake --build $(FUZZ) -j $(JOBS) --target fuzz_programs fuzz_corpus
	@QM_FUZZ_EXTRA_CORPUS=$(CURDIR)/$(BUILD)/fuzz/corpus bash fuzz/run_targets.sh $(FUZZ)/fuzz $(FUZZ_TIME) $(FUZZ_PARALLEL) \
	  $$(cd $(FUZZ)/fuzz && ls fuzz_* | sed 's/^fuzz_//' | grep -vx seeds)

clean:
	rm -rf $(BUILD) $(ASAN)
