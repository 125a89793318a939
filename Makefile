# Thin wrapper around CMake + Ninja.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all build test test-sanitize test-tsan demo bench compat mutate clean

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

# The suite under ThreadSanitizer, for the threads of a run (the writer, the
# helpers of pass 1 and pass 2); the check of the mathematics against MPFR,
# which runs on one thread, is left out.
test-tsan:
	$(MAKE) build BUILD=build-tsan CMAKE_FLAGS="-DVANTOR_SANITIZE_THREAD=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo"
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j $(JOBS) \
	  -E '^math_mpfr_check$$'

# The demo runs the two programs only: build just those.
demo: $(BUILD)/build.ninja
	ninja -C $(BUILD) -j $(JOBS) vantor vantor-plot
	examples/demo.sh $(BUILD)/vantor

bench: build
	bench/run_bench.sh $(BUILD)

# The working tree against the build of an earlier commit, byte for byte, on
# generated runs, their vantor-plot pictures and console answers:
# make compat OLD=<commit> [EXPECT_PLOT_CHANGE=what] (status 1: differences).
RUNS ?= 1000
ANSWERS ?= 5000
compat: $(BUILD)/build.ninja
	BUILD=$(BUILD) EXPECT_PLOT_CHANGE="$(EXPECT_PLOT_CHANGE)" \
	  tests/compat/compat.sh $(OLD) $(RUNS) $(ANSWERS)

# The net itself tested: each fault of tests/mutate/faults.txt put into a
# scratch copy of HEAD, built and run through the golden tables, the suite and
# make compat (with the counts below); FAULT="name..." runs those.
MUTATE_RUNS ?= 150
MUTATE_ANSWERS ?= 400
mutate:
	tests/mutate/mutate.sh $(MUTATE_RUNS) $(MUTATE_ANSWERS) $(FAULT)

clean:
	rm -rf $(BUILD)

# --- Windows: cross-built with MinGW-w64, tested under Wine -------------------
WIN_BUILD ?= build-windows
WINE ?= /usr/lib/wine/wine64
WINESERVER ?= /usr/lib/wine/wineserver
# A private Wine prefix in the build folder; no Mono/Gecko installers, no logs.
WINE_ENV = WINEPREFIX=$(abspath $(WIN_BUILD))/wineprefix WINEDEBUG=-all \
	WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
# The end-to-end tests of the Linux suite, run against the .exe files.
E2E_TESTS ?= ^(EndToEnd|Faults|Hostile|PlotRun|PlotCommand|AnswerOptions|PlotTotal)\.

.PHONY: windows test-windows dist

$(WIN_BUILD)/build.ninja:
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-w64-x86_64.cmake)

windows: $(WIN_BUILD)/build.ninja
	ninja -C $(WIN_BUILD) -j $(JOBS) vantor vantor-plot

test-windows: build $(WIN_BUILD)/build.ninja
	ninja -C $(WIN_BUILD) -j $(JOBS)
	test -d $(WIN_BUILD)/wineprefix || $(WINE_ENV) $(WINE) wineboot --init
	# A new prefix leaves its first server running for a few seconds: wait for
	# it to end, so that the persistent server below is the one the tests meet
	# (a test started as the first one went down failed at once, with no output).
	$(WINE_ENV) $(WINESERVER) -w
	-$(WINE_ENV) $(WINESERVER) -p
	# The first program of a Wine session starts Wine's own services, which
	# would hold its standard streams open: start them here, on /dev/null.
	$(WINE_ENV) $(WINE) wineboot </dev/null >/dev/null 2>&1
	$(WINE_ENV) ctest --test-dir $(WIN_BUILD) --output-on-failure -j $(JOBS) \
	  && $(WINE_ENV) VANTOR_TEST_LAUNCHER=$(WINE) \
	  VANTOR_TEST_BINARY=$(abspath $(WIN_BUILD))/vantor.exe \
	  VANTOR_TEST_PLOT_BINARY=$(abspath $(WIN_BUILD))/vantor-plot.exe \
	  ctest --test-dir $(BUILD) -R '$(E2E_TESTS)' --output-on-failure -j $(JOBS); \
	  status=$$?; $(WINE_ENV) $(WINESERVER) -k; exit $$status

# build/dist/vantor-<version>-linux-x86_64.tar.gz and
# build/dist/vantor-<version>-windows-x86_64.zip
dist: build windows
	cd $(BUILD) && cpack -G TGZ
	cd $(WIN_BUILD) && cpack -G ZIP
