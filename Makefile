# Thin wrapper over CMake; see README.md.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz

.PHONY: setup build demo test test-asan fuzz clean

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

fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEB7_FUZZ=ON -DZEB7_TESTS=OFF -DZEB7_BENCH=OFF -DZEB7_GUI=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
