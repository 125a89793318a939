#!/bin/sh
# make compat OLD=<commit> [RUNS=1000] [ANSWERS=5000] [EXPECT_PLOT_CHANGE=what]
# [COMPAT_JOBS=2]: builds vantor and vantor-plot at the given commit beside the
# working tree's build and compares the two on generated runs, their
# pictures and console answers (tests/compat/compat.cpp). Exit status 0: the
# same; 1: differences.
set -eu
cd "$(dirname "$0")/../.."
old=${1:?usage: make compat OLD=<commit>}
runs=${2:-1000}
answers=${3:-5000}
build=${BUILD:-build}
sha=$(git rev-parse --short "$old^{commit}")
work=build-compat
mkdir -p "$work"

# The old programs, from a worktree of their own.
if [ ! -e "$work/src-$sha/.git" ]; then
  git worktree add --detach "$work/src-$sha" "$sha" >/dev/null
fi
cmake -S "$work/src-$sha" -B "$work/build-$sha" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$work/build-$sha" vantor >/dev/null
ninja -C "$build" vantor vantor-plot vantor_compat >/dev/null
# vantor-plot, where the old commit has it.
plot=
if ninja -C "$work/build-$sha" -t targets all 2>/dev/null | grep -q '^vantor-plot:'; then
  ninja -C "$work/build-$sha" vantor-plot >/dev/null
  plot="--plot $work/build-$sha/vantor-plot $build/vantor-plot"
fi
expect=
if [ -n "${EXPECT_PLOT_CHANGE:-}" ]; then expect="--expect-plot-change=$EXPECT_PLOT_CHANGE"; fi

echo "compat: $sha against the working tree ($runs runs, $answers console answers)"
# shellcheck disable=SC2086
exec "$build/vantor_compat" $plot ${expect:+"$expect"} --jobs "${COMPAT_JOBS:-2}" \
  "$work/build-$sha/vantor" "$build/vantor" "$work/runs-$sha" "$runs" "$answers"
