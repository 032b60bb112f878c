# Thin wrapper over CMake; see README.md.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
# The tests whose threads ThreadSanitizer watches: the link's worker and hand-over, the model on it.
TSAN_TESTS ?= link/link_test model/model_test

.PHONY: setup build demo test test-asan test-tsan fuzz fuzz-run clean

setup:
	./scripts/setup.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The program on the built-in virtual drive. Without a display it runs under
# xvfb-run for DEMO_SECONDS and then ends.
DEMO_SECONDS ?= 20
demo: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/gui/zeb7 --simulate; \
	else \
	  echo "no display: running zeb7 under xvfb-run for $(DEMO_SECONDS) s"; \
	  xvfb-run -a -s "-screen 0 1280x800x24" timeout $(DEMO_SECONDS) $(BUILD)/gui/zeb7 --simulate || [ $$? -eq 124 ]; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: setup
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEB7_SANITIZE=ON -DZEB7_BENCH=OFF -DZEB7_GUI=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

test-tsan: setup
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEB7_TSAN=ON -DZEB7_BENCH=OFF -DZEB7_GUI=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(notdir $(TSAN_TESTS))
	for t in $(TSAN_TESTS); do \
	  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" $(TSAN_BUILD)/tests/$$t --gtest_brief=1 || exit 1; \
	done

fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEB7_FUZZ=ON -DZEB7_TESTS=OFF -DZEB7_BENCH=OFF -DZEB7_GUI=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS on its seed corpus, two at a time.
FUZZ_SECONDS ?= 30
fuzz-run: fuzz
	FUZZ_BUILD=$(FUZZ_BUILD) FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_JOBS=2 ./scripts/run-fuzzers.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)
