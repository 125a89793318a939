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
	@grep -q 'build vantor_tests' $(BUILD)/build.ninja || \
	  { echo "make test: GoogleTest was not found when $(BUILD) was configured"; exit 1; }
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer;
# any report fails the run.
test-sanitize:
	$(MAKE) test BUILD=build-sanitize CMAKE_FLAGS="-DVANTOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo"

# The demo runs the two programs only: build just those.
demo: $(BUILD)/build.ninja
	ninja -C $(BUILD) -j $(JOBS) vantor vantor-plot
	examples/demo.sh $(BUILD)/vantor

bench: build
	bench/run_bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
