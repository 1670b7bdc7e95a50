# Halcyon: the two commands are `make demo` and `make test`; the rest are for developers.
BUILD    ?= build
ASAN     ?= build/asan
TSAN     ?= build/tsan
DEMO_ONLY ?= build/demo-only
FUZZDIR  ?= build/fuzz
JOBS     ?= 2
DEMO     ?= data/tundra.wrl
FUZZ_SECONDS ?= 60
WERROR   ?= ON

.PHONY: all demo demo-only test build build-test unit asan tsan format format-check fuzz bench deps clean content

all: build

deps:
	@scripts/install-deps.sh build

# Plays the default demo (Release build of the program alone: no test libraries needed).
demo: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build $(BUILD) -j $(JOBS) --target halcyon
	$(BUILD)/bin/halcyon $(DEMO)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

# Installs what is missing, checks formatting, builds with warnings as errors and runs
# every test, then the whole suite again under address and undefined-behaviour sanitizers.
test:
	@scripts/install-deps.sh build test
	$(MAKE) --no-print-directory format-check unit demo-only asan tsan

# Builds everything a user who only watches gets, with GoogleTest and Google Benchmark
# hidden from CMake, so that nothing the demo needs comes to depend on them.
demo-only:
	cmake -S . -B $(DEMO_ONLY) -DCMAKE_BUILD_TYPE=Release -DHALCYON_WERROR=$(WERROR) \
	  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
	cmake --build $(DEMO_ONLY) -j $(JOBS)
	@test -x $(DEMO_ONLY)/bin/halcyon && echo "demo-only: halcyon builds without test libraries"

unit:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DHALCYON_WERROR=$(WERROR) \
	  -DHALCYON_TESTS=ON -DHALCYON_BENCH=ON -DHALCYON_REQUIRE_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

asan:
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALCYON_SANITIZE=ON \
	  -DHALCYON_BENCH=OFF -DHALCYON_WERROR=$(WERROR) -DHALCYON_REQUIRE_TESTS=ON
	cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

# The tests of the code whose threads share data (window and event loop, wave output and
# music player, the board's drawing workers, the program's threads end to end) under the
# thread sanitizer.
TSAN_TARGETS = platform_tests music_tests app_tests glide_tests halcyon_e2e_tests halcyon
tsan:
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALCYON_TSAN=ON \
	  -DHALCYON_BENCH=OFF -DHALCYON_WERROR=$(WERROR) -DHALCYON_REQUIRE_TESTS=ON
	cmake --build $(TSAN) -j $(JOBS) --target $(TSAN_TARGETS)
	@for t in platform_tests music_tests app_tests glide_tests halcyon_e2e_tests; do \
	  echo "== $$t (thread sanitizer)"; \
	  TSAN_OPTIONS=halt_on_error=1 $(TSAN)/bin/$$t --gtest_brief=1 || exit 1; \
	 done

SOURCES = $(shell git ls-files '*.cpp' '*.h')
format:
	clang-format -i $(SOURCES)
format-check:
	clang-format --dry-run --Werror $(SOURCES)

# Runs every libFuzzer target for FUZZ_SECONDS each (clang build in $(FUZZDIR)).
fuzz:
	@scripts/install-deps.sh build fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZDIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALCYON_FUZZ=ON
	cmake --build $(FUZZDIR) -j $(JOBS)
	@for t in $$(cat $(FUZZDIR)/fuzz-targets.txt); do \
	  mkdir -p fuzz/corpus-$$t; \
	  seeds=""; [ -d fuzz/seeds/$$t ] && seeds=fuzz/seeds/$$t; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  $(FUZZDIR)/bin/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    fuzz/corpus-$$t $$seeds || exit 1; \
	done

bench:
	@scripts/install-deps.sh build bench
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)
	@for b in $(BUILD)/bin/bench-*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD)

# Writes the default demo's objects, textures and music under data/ again, byte for byte
# (the music through lame 3.100, Debian's).
content:
	@scripts/install-deps.sh build content
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build $(BUILD) -j $(JOBS) --target halcyon-tundra-content halcyon-music-content
	$(BUILD)/bin/halcyon-tundra-content data
	$(BUILD)/bin/halcyon-music-content $(BUILD)/drift07.wav
	lame --silent -b 128 -q 2 $(BUILD)/drift07.wav data/music/drift07.mp3
