#!/bin/sh
# make compat OLD=<commit> [RUNS=1000] [ANSWERS=5000]: builds vantor at the
# given commit beside the working tree's build and compares the two on
# generated runs and console answers (tests/compat/compat.cpp).
set -eu
cd "$(dirname "$0")/../.."
old=${1:?usage: make compat OLD=<commit>}
runs=${2:-1000}
answers=${3:-5000}
build=${BUILD:-build}
sha=$(git rev-parse --short "$old^{commit}")
work=build-compat
mkdir -p "$work"

# The old program, from a worktree of its own.
if [ ! -e "$work/src-$sha/.git" ]; then
  git worktree add --detach "$work/src-$sha" "$sha" >/dev/null
fi
cmake -S "$work/src-$sha" -B "$work/build-$sha" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$work/build-$sha" vantor >/dev/null
ninja -C "$build" vantor vantor_compat >/dev/null

echo "compat: $sha against the working tree ($runs runs, $answers console answers)"
"$build/vantor_compat" "$work/build-$sha/vantor" "$build/vantor" "$work/runs-$sha" "$runs" "$answers"
