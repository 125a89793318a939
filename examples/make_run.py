#!/usr/bin/env python3
"""Writes a deterministic set of raw damage files for a riser fatigue run.

usage: make_run.py DIR CASES SECTIONS HOTSPOTS [PREFIX]

Writes DIR/PREFIX_001.RawDam ... (one per load case), DIR/probs.txt (one
probability per case, summing to 1) and DIR/answers.txt (the five console
answers for cases 1 to CASES).

examples/riser was made by `make_run.py examples/riser 5 120 8`; this script
is kept as the record of how. The tests and the benchmarks generate their runs
with the C++ generator in tests/support/generate_run.h.
"""
import math
import os
import random
import sys


def damage(rng, coord, length, hot, nhot, case):
    # Damage peaks near the top (hang-off) and at the touchdown zone, varies
    # around the section with the hot spot angle, and spreads over 1e-9..1e-2.
    top = math.exp(-((coord - 0.05 * length) / (0.04 * length)) ** 2)
    tdz = math.exp(-((coord - 0.7 * length) / (0.06 * length)) ** 2)
    angle = 2.0 * math.pi * hot / max(nhot, 1)
    shape = 0.55 + 0.45 * math.cos(angle - 0.6 * case)
    level = -9.0 + 6.5 * max(top, tdz) * shape + rng.uniform(-0.4, 0.4)
    return min(10.0 ** level, 9.9e-3)


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    out, ncase, nsec, nhot = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    prefix = sys.argv[5] if len(sys.argv) > 5 else "riser"
    os.makedirs(out, exist_ok=True)
    rng = random.Random(20081231)
    length = 10.0 * nsec
    weights = [rng.uniform(0.5, 2.0) for _ in range(ncase)]
    total = sum(weights)
    probs = [w / total for w in weights]
    # Round to 5 decimals and put the rounding rest on the last case.
    probs = [round(p, 5) for p in probs[:-1]]
    probs.append(round(1.0 - sum(probs), 5))
    digits = max(3, len(str(ncase)))
    for c in range(1, ncase + 1):
        name = os.path.join(out, "%s_%0*d.RawDam" % (prefix, digits, c))
        with open(name, "w", newline="\n") as f:
            f.write("# Raw fatigue damage, load case %d\n" % c)
            f.write("#  S_Coo   damage at hot spots 1 to %d\n" % nhot)
            for e in range(nsec):
                coord = length * e / max(nsec - 1, 1)
                row = ["%13.3f" % coord]
                row += ["%12.4E" % damage(rng, coord, length, j, nhot, c) for j in range(nhot)]
                f.write("".join(row) + "\n")
    with open(os.path.join(out, "probs.txt"), "w", newline="\n") as f:
        f.write("' Probability of occurrence of each load case\n")
        for i in range(0, ncase, 10):
            f.write(" ".join("%.5f" % p for p in probs[i:i + 10]) + "\n")
    with open(os.path.join(out, "answers.txt"), "w", newline="\n") as f:
        f.write("1\n%d\nprobs.txt\n%s\n%s\n" % (ncase, prefix, "" if digits == 3 else digits))


if __name__ == "__main__":
    main()
