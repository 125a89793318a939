#!/bin/sh
# make mutate [FAULT="name..."] [MUTATE_RUNS=150] [MUTATE_ANSWERS=400]: puts each
# fault of tests/mutate/faults.txt, one at a time, into a scratch tree of the
# committed HEAD (build-mutate/src, a git worktree with an incremental build
# of its own in build-mutate/build), builds it and runs it through the golden
# tables (ctest Golden.*), the rest of the suite (ctest, without the MPFR
# check) and make compat against HEAD's build. Prints a table fault x (tables,
# suite, compat) and exits 1 when a fault goes through all three, when a fault
# flagged "file" (it changes an output file on some input) goes through
# compat, or when a fault no longer applies or does not build.
set -u
cd "$(dirname "$0")/../.."
root=$(pwd)
list=tests/mutate/faults.txt
tool="python3 $root/tests/mutate/apply_fault.py $root/$list"
runs=${1:-150}
answers=${2:-400}
shift 2 2>/dev/null || shift $#
only=$*  # the faults to run, all when empty
work=$root/${MUTATE_DIR:-build-mutate}
src=$work/src
build=$work/build
logs=$work/logs
sha=$(git rev-parse HEAD)

if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "mutate: the working tree has uncommitted changes; the faults go into HEAD ($sha)"
fi
$tool check "$root" || { echo "mutate: fix the fault list ($list)"; exit 1; }
for name in $only; do
  $tool describe "$name" >/dev/null 2>&1 || { echo "mutate: no fault named $name"; exit 1; }
done

# The scratch tree at HEAD; its build only recompiles what changed.
mkdir -p "$work" "$logs"
if [ ! -e "$src/.git" ]; then
  git worktree add --detach "$src" "$sha" >/dev/null 2>&1 || { echo "mutate: git worktree add failed"; exit 1; }
else
  git -C "$src" checkout -q --force --detach "$sha"
fi
# No LTO in the scratch build (it is for Release only): each fault then
# relinks in seconds. The bytes are the same (no fast-math, no contraction);
# the baseline below checks that compat sees no difference.
# With ccache (Debian: ccache), putting a fault's file back costs nothing.
launcher=""
if command -v ccache >/dev/null 2>&1; then
  launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
  export CCACHE_DIR="$work/ccache"
fi
if [ ! -e "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Mutate $launcher \
    -DCMAKE_CXX_FLAGS_MUTATE="-O2 -DNDEBUG" >"$logs/cmake.log" 2>&1 ||
    { echo "mutate: cmake failed ($logs/cmake.log)"; exit 1; }
fi
targets="vantor vantor-plot vantor_tests vantor_compat"

current=""
revert() {
  if [ -n "$current" ]; then git -C "$src" checkout -q -- "$current"; current=""; fi
}
trap 'revert; exit 130' INT TERM HUP

# One stage: "caught", "missed", or "ERROR" (compat could not compare).
tables() {
  ctest --test-dir "$build" -R '^Golden\.' -j 2 --timeout 30 >"$logs/$1.tables.log" 2>&1 &&
    echo missed || echo caught
}
suite() {
  ctest --test-dir "$build" -E '^(Golden\..*|math_mpfr_check)$' -j 2 --timeout 30 \
    >"$logs/$1.suite.log" 2>&1 && echo missed || echo caught
}
# What make compat runs, without make (which turns status 1 into 2).
compat() {
  (cd "$src" && BUILD="$build" tests/compat/compat.sh "$sha" "$runs" "$answers") \
    >"$logs/$1.compat.log" 2>&1
  case $? in 0) echo missed ;; 1) echo caught ;; *) echo ERROR ;; esac
}

start=$(date +%s)
# The unmutated tree first: every stage must pass, or a catch means nothing.
# Done once per commit.
if [ ! -e "$work/baseline-$sha" ]; then
  echo "mutate: baseline (no fault) at $sha"
  ninja -C "$build" -j 2 $targets >"$logs/baseline.build.log" 2>&1 ||
    { echo "mutate: the scratch build failed ($logs/baseline.build.log)"; exit 1; }
  t=$(tables baseline) s=$(suite baseline) c=$(compat baseline)
  if [ "$t $s $c" != "missed missed missed" ]; then
    echo "mutate: the unmutated tree does not pass: tables $t, suite $s, compat $c (see $logs/baseline.*)"
    exit 1
  fi
  touch "$work/baseline-$sha"
fi

results=$work/results.tsv
: >"$results"
status=0
for name in $($tool names); do
  if [ -n "$only" ]; then
    case " $only " in *" $name "*) ;; *) continue ;; esac
  fi
  t0=$(date +%s)
  info=$($tool describe "$name")
  flags=$(printf '%s' "$info" | cut -f1)
  file=$(printf '%s' "$info" | cut -f2)
  current=$file
  if ! $tool apply "$src" "$name"; then
    revert
    status=1
    continue
  fi
  if ninja -C "$build" -j 2 $targets >"$logs/$name.build.log" 2>&1; then
    t=$(tables "$name") s=$(suite "$name") c=$(compat "$name")
  else
    t=ERROR s=ERROR c=ERROR
    echo "mutate: $name does not build ($logs/$name.build.log)"
  fi
  revert
  verdict=ok
  if [ "$t$s$c" != "${t#ERROR}${s#ERROR}${c#ERROR}" ]; then
    verdict=ERROR
  elif [ "$t $s $c" = "missed missed missed" ]; then
    verdict=UNCAUGHT
  elif [ "$flags" != "${flags#*file}" ] && [ "$c" = missed ]; then
    verdict=FILE-FAULT-MISSED-BY-COMPAT
  fi
  [ "$verdict" = ok ] || status=1
  printf '%-28s %-6s %-7s %-7s %-7s %4ss %s\n' "$name" "$flags" "$t" "$s" "$c" \
    "$(($(date +%s) - t0))" "$verdict"
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$flags" "$t" "$s" "$c" "$verdict" >>"$results"
done
revert
# Leave the scratch build as HEAD's, for the next run's first fault.
ninja -C "$build" -j 2 $targets >/dev/null 2>&1

echo
echo "mutate: $(wc -l <"$results") faults, compat with $runs runs and $answers console answers," \
  "$(($(date +%s) - start)) s"
printf '%-28s %-6s %-7s %-7s %-7s\n' fault flags tables suite compat
awk -F'\t' '{ printf "%-28s %-6s %-7s %-7s %-7s %s\n", $1, $2, $3, $4, $5, ($6 == "ok" ? "" : $6) }' "$results"
awk -F'\t' '{ for (i = 3; i <= 5; ++i) if ($i == "caught") n[i]++ }
  END { printf "caught: tables %d, suite %d, compat %d of %d\n", n[3], n[4], n[5], NR }' "$results"
uncaught=$(awk -F'\t' '$6 != "ok" { print $1 " (" $6 ")" }' "$results")
if [ -n "$uncaught" ]; then
  echo "not caught as required:"
  echo "$uncaught" | sed 's/^/  /'
fi
exit $status
