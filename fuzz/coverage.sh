#!/bin/sh
# Source coverage reached by the fuzz corpora: builds the targets with clang's
# coverage instrumentation (build-fuzz/coverage), replays the grown corpus of
# each target (build-fuzz/fuzz-corpus/<target>, else the seed corpus) and
# prints the line and branch coverage of the library's files.
#   fuzz/coverage.sh [reader dialogue run]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz/coverage
targets=${*:-reader dialogue run}
flags="-fprofile-instr-generate -fcoverage-mapping"

if [ ! -f "$build/build.ninja" ]; then
  CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVANTOR_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" > /dev/null
fi
for t in $targets; do ninja -C "$build" -j 1 "fuzz_$t" > /dev/null; done

profiles=""
for t in $targets; do
  corpus=$root/build-fuzz/fuzz-corpus/$t
  [ -d "$corpus" ] || corpus=$root/fuzz/corpus/$t
  LLVM_PROFILE_FILE="$build/$t.profraw" "$build/fuzz/fuzz_$t" -runs=0 -close_fd_mask=3 \
    "$corpus" "$root/fuzz/regressions/$t" > /dev/null 2>&1
  llvm-profdata merge -sparse "$build/$t.profraw" -o "$build/$t.profdata"
  profiles="$profiles $build/$t.profdata"
  echo "== $t ($(ls "$corpus" | wc -l) inputs)"
  llvm-cov report "$build/fuzz/fuzz_$t" -instr-profile="$build/$t.profdata" \
    "$root/freeinput" "$root/textio" "$root/driver" | tail -n 1
done
llvm-profdata merge -sparse $profiles -o "$build/all.profdata"
set -- $targets
echo "== all targets, per file"
llvm-cov report "$build/fuzz/fuzz_$1" -instr-profile="$build/all.profdata" \
  $(for t in $targets; do [ "$t" = "$1" ] || echo "-object=$build/fuzz/fuzz_$t"; done) \
  "$root/freeinput" "$root/textio" "$root/driver"
