#!/bin/bash
# Speed and memory of a whole run against the I/O floor of the same bytes.
#   bench/run_bench.sh BUILD_DIR [CASES SECTIONS HOTSPOTS]
# Default size 100 x 3000 x 20; `make bench SIZE="1000 3000 20"` for full scale.
set -euo pipefail
build=$(realpath "${1:-build}")
shift || true
read -r ncase nsec nhot <<<"${*:-${SIZE:-100 3000 20}}"
root=$(cd "$(dirname "$0")" && pwd)
# generated DIR CASES SECTIONS HOTSPOTS: the run of that size, made once.
generated() {
  if [ ! -f "$1/answers.txt" ]; then
    echo "generating $1 ..."
    "$build/generate_run" "$@"
  fi
}
data="$root/data/${ncase}x${nsec}x${nhot}"
generated "$data" "$ncase" "$nsec" "$nhot"
work="$root/data/work"
rm -rf "$work" && mkdir -p "$work"
ln -s "$data"/*.RawDam "$data/probs.txt" "$work/"
input_bytes=$(cat "$data"/*.RawDam | wc -c)

now() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }
# Warm the page cache, then time the floor: read every input byte once and
# write as many bytes into files as Vantor writes.
cat "$data"/*.RawDam >/dev/null
t0=$(now)
cat "$data"/*.RawDam >/dev/null
t1=$(now)
mkdir -p "$work/floor"
for f in "$data"/*.RawDam; do cat "$f" >"$work/floor/$(basename "$f").copy"; done
inputs=("$data"/*.RawDam)
first=${inputs[0]}
cat "$first" >"$work/floor/report.copy"
t2=$(now)
rm -rf "$work/floor"
read_s=$(calc "$t1 - $t0")
write_s=$(calc "$t2 - $t1")
floor=$(calc "$t2 - $t0")

cd "$work"
/usr/bin/time -v "$build/vantor" <"$data/answers.txt" >vantor.out 2>time.txt || {
  cat time.txt
  exit 1
}
wall=$(grep 'Elapsed (wall clock)' time.txt | awk '{print $NF}' | awk -F: '{ if (NF==3) print $1*3600+$2*60+$3; else print $1*60+$2 }')
user=$(grep 'User time' time.txt | awk '{print $NF}')
sys=$(grep 'System time' time.txt | awk '{print $NF}')
rss_kb=$(grep 'Maximum resident' time.txt | awk '{print $NF}')
output_bytes=$(cat "$work"/*.WghDam "$work"/*.AccDam | wc -c)

printf 'run                 : %s cases x %s sections x %s hot spots\n' "$ncase" "$nsec" "$nhot"
printf 'input / output      : %.1f MB / %.1f MB\n' "$(calc "$input_bytes/1000000")" "$(calc "$output_bytes/1000000")"
printf 'I/O floor           : %.2f s (read %.2f s, write %.2f s)\n' "$floor" "$read_s" "$write_s"
printf 'vantor wall         : %.2f s (user %.2f s, system %.2f s)\n' "$wall" "$user" "$sys"
printf 'vantor / floor      : %.2f\n' "$(calc "$wall / $floor")"
printf 'throughput          : %.0f MB/s of input\n' "$(calc "$input_bytes / 1000000 / $wall")"
printf 'peak resident memory: %.1f MB\n' "$(calc "$rss_kb / 1024")"
rm -f "$work"/*.WghDam "$work"/*.AccDam

# The program files stay small: the run state is zero storage, not image.
for program in vantor vantor-plot; do
  printf '%-20s: %s bytes\n' "$program file" "$(stat -c %s "$build/$program")"
done

# The figure to steer by: instructions of a whole 10 x 3000 x 20 run under
# callgrind, which does not swing with the load of the machine.
if command -v valgrind >/dev/null; then
  small="$root/data/10x3000x20"
  generated "$small" 10 3000 20
  rm -f "$work"/*.WghDam "$work"/*.AccDam "$work"/*.RawDam "$work/probs.txt"
  ln -s "$small"/*.RawDam "$small/probs.txt" "$work/"
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$build/vantor" \
    <"$small/answers.txt" >vantor.out 2>callgrind.txt
  instructions=$(sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' callgrind.txt)
  printf 'instructions        : %s (10 x 3000 x 20 run, callgrind)\n' "$instructions"
  rm -f "$work"/*.WghDam "$work"/*.AccDam
else
  echo 'instructions        : skipped, valgrind is not installed'
fi
