#!/bin/sh
# Writes the golden tables of this folder from the build of an earlier
# revision (OLD, by default f6560f0, the release these rows were taken from)
# and from the working tree's build:
#   tests/golden/make_tables.sh [OLD]
# A row whose outcome the two builds agree on is written as it is. Where they
# differ, the earlier build's outcome is kept, except for answer lines over
# 1 MiB, which that build cut short: those take the working tree's outcome.
# The console answers, which hold what reached standard output and error
# besides the outcome, take the working tree's rows (they were last written
# from the build of de8ce83). Every differing row is listed on standard output.
set -eu
cd "$(dirname "$0")/../.."
old=${1:-f6560f0}
work=build-golden
mkdir -p "$work"

# The library of each build, then the probe linked with it.
if [ ! -d "$work/old/.git" ] && [ ! -f "$work/old/.git" ]; then
  git worktree add --detach "$work/old" "$old" >/dev/null
fi
git -C "$work/old" checkout -q --detach "$old"
for tree in old new; do
  src=$([ $tree = old ] && echo "$work/old" || echo .)
  cmake -S "$src" -B "$work/build-$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  ninja -C "$work/build-$tree" vantor >/dev/null
  # The console, reader and writer: in vantor_text since it split from the
  # driver, in vantor_core before.
  lib="$work/build-$tree/libvantor_text.a"
  [ -f "$lib" ] || lib="$work/build-$tree/libvantor_core.a"
  g++ -std=c++20 -O2 -flto=auto -ffp-contract=off -I "$src" -I . tests/golden/probe.cpp \
    tests/support/forms.cpp tests/support/child_process.cpp "$lib" -lpthread -o "$work/probe-$tree"
done

# A long answer: its written form stands for a line of over 1 MiB.
merge() {
  awk -F'\t' -v table="$1" -v keep="$4" '
    NR == FNR { old[FNR] = $0; next }
    {
      split(old[FNR], o, "\t")
      split($0, n, "\t")
      if (old[FNR] == $0) { print $0 > table; next }
      size = 0; form = n[1]
      while (match(form, /<\\?.\*[0-9]+>/)) {
        size += RSTART - 1 + substr(form, index(substr(form, RSTART), "*") + RSTART, RLENGTH)
        form = substr(form, RSTART + RLENGTH)
      }
      long = size + length(form) > 1048576 || keep == "new"
      printf "%s: %s | old: %s | new: %s | kept: %s\n", table, substr(n[1], 1, 40), o[2], n[2],
             long ? "new" : "old" > "/dev/stdout"
      print (long ? $0 : old[FNR]) > table
    }' "$2" "$3"
}

cd "$work"
for table in "answers 19 1500 console_answers new" "fields 23 700 raw_records old" \
  "render 0 0 renderings old"; do
  set -- $table
  ./probe-old "$1" "$2" "$3" >"old-$4.tsv"
  ./probe-new "$1" "$2" "$3" >"new-$4.tsv"
  merge "../tests/golden/$4.tsv" "old-$4.tsv" "new-$4.tsv" "$5"
done
