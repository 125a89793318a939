#!/bin/sh
# Builds the fuzz targets (clang, build folder build-fuzz) and fuzzes one of
# them for a given number of seconds, one job:
#   fuzz/run.sh reader|dialogue|run [seconds]
# The corpus grows in build-fuzz/fuzz-corpus/<target> (seeded from
# fuzz/corpus/<target>); crashes go to build-fuzz/fuzz-artifacts/. A crash
# becomes a regression input: copy it to fuzz/regressions/<target>/.
set -eu
target=${1:?target: reader, dialogue or run}
seconds=${2:-600}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz

if [ ! -f "$build/build.ninja" ]; then
  CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVANTOR_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
ninja -C "$build" -j 2 "fuzz_$target"

case $target in
  reader) max_len=8192 ;;
  dialogue) max_len=2048 ;;
  run) max_len=8192 ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac

corpus=$build/fuzz-corpus/$target
mkdir -p "$corpus" "$build/fuzz-artifacts"
cp "$root/fuzz/corpus/$target/"* "$corpus/"

# Paths are absolute: the targets work in a folder of their own.
exec "$build/fuzz/fuzz_$target" "$corpus" "$root/fuzz/regressions/$target" \
  -dict="$root/fuzz/$target.dict" -max_len=$max_len -timeout=10 -rss_limit_mb=4096 \
  -max_total_time="$seconds" -close_fd_mask=2 -print_final_stats=1 \
  -artifact_prefix="$build/fuzz-artifacts/$target-"
