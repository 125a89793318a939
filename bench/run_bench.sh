#!/bin/bash
# Speed and memory of a whole run against the I/O floor of the same bytes.
#   bench/run_bench.sh BUILD_DIR [CASES SECTIONS HOTSPOTS]
# Default size 100 x 3000 x 20; `make bench SIZE="1000 3000 20"` for full scale.
# vantor-plot is timed on the finished run, and --compare on it and a second
# run of the same size (another seed); PLOT_BEFORE=/path/to/vantor-plot times
# an earlier build of it beside this one, in turn; BEFORE=/path/to/vantor does
# the same for vantor (and its instructions), and prints after / before.
# The floor and the run are timed three times each, in turn, and the medians
# compared, so that both see the same load of the machine.
set -euo pipefail
build=$(realpath "${1:-build}")
shift || true
read -r ncase nsec nhot <<<"${*:-${SIZE:-100 3000 20}}"
rounds=3
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
inputs=("$data"/*.RawDam)

now() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }
field() { grep "$1" "$work/time.txt" | awk '{print $NF}'; }

# The floor: read every input byte once, and write as many bytes into files
# as the run writes (every input copied, the first once more for the report).
floor_run() {
  local t0 t1 t2
  mkdir -p "$work/floor"
  t0=$(now)
  cat "${inputs[@]}" >/dev/null
  t1=$(now)
  for f in "${inputs[@]}"; do cat "$f" >"$work/floor/$(basename "$f").copy"; done
  cat "${inputs[0]}" >"$work/floor/report.copy"
  t2=$(now)
  rm -rf "$work/floor"
  floor_read+=("$(calc "$t1 - $t0")")
  floor_write+=("$(calc "$t2 - $t1")")
  floor+=("$(calc "$t2 - $t0")")
}

# The same bytes from one process, in 1 MiB system calls: no program start
# per file, so the tighter of the two floors.
floor_one_run() {
  local times
  mkdir -p "$work/floor"
  times=$("$build/io_floor" "$work/floor" "$(stat -c %s "${inputs[0]}")" "${inputs[@]}")
  rm -rf "$work/floor"
  read -r _ r _ w <<<"$times"
  floor_one+=("$(calc "$r + $w")")
}

# /usr/bin/time gives the processor times and the memory; the wall time is
# taken here, to the millisecond. Each run writes into a folder of its own,
# as the floors do: files created where the last run's were just removed cost
# the file system noticeably more (ext4 passes over the freed inodes).
# vantor_run [PREFIX PROGRAM]: one timed run, its figures appended to the
# lists of that prefix (none: this build's vantor).
vantor_run() {
  local t0 t1 run="$work/run" p=${1:-} program=${2:-$build/vantor}
  rm -rf "$run" && mkdir -p "$run"
  ln -s "$data"/*.RawDam "$data/probs.txt" "$run/"
  t0=$(now)
  (cd "$run" && /usr/bin/time -v "$program" <"$data/answers.txt" >vantor.out 2>"$work/time.txt") || {
    cat "$work/time.txt"
    exit 1
  }
  t1=$(now)
  eval "${p}wall+=(\"$(calc "$t1 - $t0")\")"
  eval "${p}user+=(\"$(field 'User time')\")"
  eval "${p}sys+=(\"$(field 'System time')\")"
  eval "${p}faults+=(\"$(field 'Minor')\")"
  eval "${p}rss_kb+=(\"$(field 'Maximum resident')\")"
  output_bytes=$(cat "$run"/*.WghDam "$run"/*.AccDam | wc -c)
  rm -rf "$run"
}

floor=() floor_read=() floor_write=() floor_one=() wall=() user=() sys=() faults=() rss_kb=()
before_wall=() before_user=() before_sys=() before_faults=() before_rss_kb=()
cat "${inputs[@]}" >/dev/null  # the page cache warm for both
for ((i = 0; i < rounds; ++i)); do
  floor_run
  floor_one_run
  [ -n "${BEFORE:-}" ] && vantor_run before_ "$(realpath "$BEFORE")"
  vantor_run
done

floor_m=$(median "${floor[@]}")
wall_m=$(median "${wall[@]}")
rss_max=$(printf '%s\n' "${rss_kb[@]}" | sort -n | tail -1)
printf 'run                 : %s cases x %s sections x %s hot spots\n' "$ncase" "$nsec" "$nhot"
printf 'input / output      : %.1f MB / %.1f MB\n' "$(calc "$input_bytes/1000000")" "$(calc "$output_bytes/1000000")"
printf 'I/O floor, each     :'; printf ' %.2f' "${floor[@]}"; echo ' s'
printf 'vantor wall, each   :'; printf ' %.2f' "${wall[@]}"; echo ' s'
printf 'I/O floor (median)  : %.2f s (read %.2f s, write %.2f s)\n' "$floor_m" \
  "$(median "${floor_read[@]}")" "$(median "${floor_write[@]}")"
printf 'vantor wall (median): %.2f s (user %.2f s, system %.2f s, %s page faults)\n' "$wall_m" \
  "$(median "${user[@]}")" "$(median "${sys[@]}")" "$(median "${faults[@]}")"
if [ -n "${BEFORE:-}" ]; then
  printf 'before wall, each   :'; printf ' %.2f' "${before_wall[@]}"; echo ' s'
  printf 'before wall (median): %.2f s (user %.2f s, system %.2f s, %s page faults)\n' \
    "$(median "${before_wall[@]}")" "$(median "${before_user[@]}")" "$(median "${before_sys[@]}")" \
    "$(median "${before_faults[@]}")"
  printf 'before peak memory  : %.1f MB\n' "$(calc "$(printf '%s\n' "${before_rss_kb[@]}" | sort -n | tail -1) / 1024")"
  printf 'after / before      : %.2f (medians of %d)\n' "$(calc "$wall_m / $(median "${before_wall[@]}")")" "$rounds"
fi
printf 'vantor / floor      : %.2f (medians of %d)\n' "$(calc "$wall_m / $floor_m")" "$rounds"
floor_one_m=$(median "${floor_one[@]}")
printf 'one-process floor   :'; printf ' %.2f' "${floor_one[@]}"; printf ' s (median %.2f s)\n' "$floor_one_m"
printf 'vantor / one-process: %.2f (medians of %d)\n' "$(calc "$wall_m / $floor_one_m")" "$rounds"
printf 'throughput          : %.0f MB/s of input\n' "$(calc "$input_bytes / 1000000 / $wall_m")"
printf 'peak resident memory: %.1f MB (largest of %d)\n' "$(calc "$rss_max / 1024")" "$rounds"

# vantor-plot on the finished run, --compare of it with a run of another
# seed, and --total of it with runs of two more seeds (three fatigue sources):
# wall time to the millisecond, peak memory, the picture's size.
finished() {  # finished DIR SEED: the run of that seed, generated and run once
  if [ ! -f "$1/riser.AccDam" ]; then
    [ -f "$1/answers.txt" ] || { echo "generating $1 ..."; "$build/generate_run" "$1" "$ncase" "$nsec" "$nhot" "$2"; }
    (cd "$1" && "$build/vantor" <answers.txt >vantor.out)
  fi
}
run_a="$root/data/${ncase}x${nsec}x${nhot}.finished"
run_b="$root/data/${ncase}x${nsec}x${nhot}.seed2"
run_c="$root/data/${ncase}x${nsec}x${nhot}.seed3"
rm -rf "$run_a" && mkdir -p "$run_a"
ln -s "$data"/*.RawDam "$data/probs.txt" "$data/answers.txt" "$run_a/"
finished "$run_a" 20081231
finished "$run_b" 2
finished "$run_c" 3
plot_run() {  # plot_run NAME PROGRAM ARGS...: one timed run, the figures appended to NAME's lists
  local name=$1 program=$2 t0 t1
  shift 2
  t0=$(now)
  (cd "$work" && /usr/bin/time -v "$program" "$@" >plot.out 2>"$work/time.txt") || {
    cat "$work/time.txt"
    exit 1
  }
  t1=$(now)
  eval "${name}_wall+=(\"$(calc "$t1 - $t0")\")"
  eval "${name}_rss+=(\"$(field 'Maximum resident')\")"
}
plot_report() {  # plot_report NAME LABEL
  local walls rss
  eval "walls=(\"\${${1}_wall[@]}\")"
  eval "rss=(\"\${${1}_rss[@]}\")"
  printf '%-20s: %.3f s wall (median of %d), peak memory %.1f MB\n' "$2" "$(median "${walls[@]}")" \
    "${#walls[@]}" "$(calc "$(printf '%s\n' "${rss[@]}" | sort -n | tail -1) / 1024")"
}
programs=(after)
[ -n "${PLOT_BEFORE:-}" ] && programs=(before after)
for ((i = 0; i < rounds; ++i)); do
  for p in "${programs[@]}"; do
    bin="$build/vantor-plot"
    [ "$p" = before ] && bin=$(realpath "$PLOT_BEFORE")
    plot_run "plot_$p" "$bin" --output "$work/plot_$p.svg" "$run_a/riser"
  done
  plot_run compare "$build/vantor-plot" --compare --output "$work/compare.svg" "$run_a" "$run_b"
  plot_run total "$build/vantor-plot" --total --output "$work/total.svg" "$run_a" "$run_b" "$run_c"
done
for p in "${programs[@]}"; do
  plot_report "plot_$p" "vantor-plot ($p)"
  printf '%-20s: %s bytes\n' "  its picture" "$(stat -c %s "$work/plot_$p.svg")"
done
plot_report compare "vantor-plot --compare"
printf '%-20s: %s bytes\n' "  its picture" "$(stat -c %s "$work/compare.svg")"
plot_report total "vantor-plot --total"
printf '%-20s: %s bytes\n' "  its picture" "$(stat -c %s "$work/total.svg")"

# The program files stay small: the run state is zero storage, not image.
for program in vantor vantor-plot; do
  printf '%-20s: %s bytes\n' "$program file" "$(stat -c %s "$build/$program")"
done

# The figure to steer by: instructions of a whole 10 x 3000 x 20 run under
# callgrind, which does not swing with the load of the machine.
if command -v valgrind >/dev/null; then
  small="$root/data/10x3000x20"
  generated "$small" 10 3000 20
  rm -f "$work"/*.RawDam "$work/probs.txt"
  ln -s "$small"/*.RawDam "$small/probs.txt" "$work/"
  count_instructions() {  # count_instructions PROGRAM: its instructions on the small run
    (cd "$work" && valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" \
      <"$small/answers.txt" >vantor.out 2>callgrind.txt)
    sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$work/callgrind.txt"
  }
  printf 'instructions        : %s (10 x 3000 x 20 run, callgrind)\n' "$(count_instructions "$build/vantor")"
  [ -n "${BEFORE:-}" ] &&
    printf 'before instructions : %s\n' "$(count_instructions "$(realpath "$BEFORE")")"
  rm -f "$work"/*.WghDam "$work"/*.AccDam
else
  echo 'instructions        : skipped, valgrind is not installed'
fi
