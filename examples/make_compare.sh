#!/bin/sh
# Draws examples/compare.svg, the comparison picture of the README: two
# generated runs of the same riser (5 cases x 400 sections x 8 hot spots, two
# seeds standing for two design options), run by vantor and compared by
# vantor-plot against a required life of 20 years x DFF 3.
#   examples/make_compare.sh [BUILD_DIR]
set -eu
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
work="$build/compare-example"
rm -rf "$work"
for seed in 1 2; do
  "$build/generate_run" "$work/option$seed" 5 400 8 "$seed"
  (cd "$work/option$seed" && "$build/vantor" <answers.txt >/dev/null)
done
cd "$work"
"$build/vantor-plot" --compare --label "option A" --label "option B" --design-life 20 --dff 3 \
  --life-unit years --length-unit m option1 option2
cp compare.svg "$here/compare.svg"
