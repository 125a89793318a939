#!/bin/sh
# Draws examples/total.svg, the picture of the engineer's total in the README:
# two fatigue sources of the same riser (5 cases x 200 sections x 8 hot spots),
# wave loading from the run generator and vortex-induced vibration made from
# the same sections with its damage in a zone near the top, each run by vantor
# and added up by vantor-plot against a required life of 20 years x DFF 3.
#   examples/make_total.sh [BUILD_DIR]
set -eu
build=$(realpath "${1:-build}")
here=$(cd "$(dirname "$0")" && pwd)
work="$build/total-example"
rm -rf "$work"
"$build/generate_run" "$work/wave" 5 200 8 1
mkdir -p "$work/viv"
cp "$work/wave/probs.txt" "$work/wave/answers.txt" "$work/viv/"
# VIV: the wave run's sections, damage from a lock-in zone around 12 % of the
# length, strongest at the hot spots across the flow.
python3 - "$work/wave" "$work/viv" <<'PY'
import glob, math, os, sys
wave, viv = sys.argv[1], sys.argv[2]
for path in sorted(glob.glob(os.path.join(wave, "*.RawDam"))):
    case = int(path[-10:-7])
    rows = [l.split() for l in open(path) if not l.startswith("#")]
    length = float(rows[-1][0]) or 1.0
    with open(os.path.join(viv, os.path.basename(path)), "w") as out:
        out.write("# VIV fatigue damage, load case %d\n" % case)
        for r in rows:
            z = float(r[0])
            zone = math.exp(-((z - 0.12 * length) / (0.05 * length)) ** 2)
            n = len(r) - 1
            values = []
            for j in range(n):
                across = abs(math.sin(2.0 * math.pi * j / n + 0.3 * case))
                level = -9.0 + 6.2 * zone * (0.4 + 0.6 * across)
                values.append("%12.4E" % min(10.0 ** level, 9.9e-3))
            out.write("%13.3f%s\n" % (z, "".join(values)))
PY
for source in wave viv; do
  (cd "$work/$source" && "$build/vantor" <answers.txt >/dev/null)
done
cd "$work"
"$build/vantor-plot" --total --label wave --label VIV --design-life 20 --dff 3 \
  --life-unit years --length-unit m wave viv
cp total.svg "$here/total.svg"
