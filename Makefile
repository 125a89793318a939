# Thin wrapper around CMake + Ninja.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all build test test-sanitize demo bench clean

all: build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: $(BUILD)/build.ninja
	ninja -C $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer;
# any report fails the run.
test-sanitize:
	$(MAKE) test BUILD=build-sanitize CMAKE_FLAGS="-DVANTOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo"

demo: build
	examples/demo.sh $(BUILD)/vantor

bench: build
	bench/run_bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
