# Thin wrapper around CMake + Ninja.
BUILD ?= build
JOBS ?= 2

.PHONY: all build test demo bench clean

all: build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: $(BUILD)/build.ninja
	ninja -C $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	examples/demo.sh $(BUILD)/vantor

bench: build
	bench/run_bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
