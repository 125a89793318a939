#!/usr/bin/env python3
"""The project's include graph runs downhill only.

Every file of the product folders sits in a room (the longest prefix of the
table below that matches its path) on a floor. A file may include a header of
its own room, or of a room on a lower floor; an include up to a higher floor,
or sideways to another room on the same floor, is an error (exit status 1).
Usage: include_graph.py [source root], by default this checkout.
"""
import pathlib
import re
import sys

# Room (path prefix) -> floor. A new folder gets a line here; the longest
# matching prefix decides, so a subfolder may be given a floor of its own
# (until it is, it counts as part of its parent's room).
FLOORS = {
    "formats/": 0,
    "textio/errors.h": 0,
    "textio/platform/": 1,
    "textio/format/": 2,
    # The units and the end of a run, one room: a failed write ends the run,
    # and the end of a run writes out every unit.
    "textio/units/": 3,
    "textio/records/": 4,
    "textio/console/": 5,
    "freeinput/": 6,
    "driver/": 7,
    # vantor-plot's rooms: numbers and XML as text; a finished run read back;
    # the pictures and the tables, apart; the pages, which hold pictures; the
    # command line. A file right in plot/ is in no room.
    "plot/text/": 7,
    "plot/run/": 8,
    "plot/picture/": 9,
    "plot/table/": 9,
    "plot/page/": 10,
    "plot/cli/": 11,
}

# The two programs stay apart whatever their floors.
APART = ("driver/", "plot/")

# Arrows that still run up, known and to be removed: printed as warnings,
# not failed on. (includer, included) None are left: keep it so.
KNOWN: set = set()

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def room(path):
    matches = [prefix for prefix in FLOORS if path == prefix or path.startswith(prefix)]
    return max(matches, key=len) if matches else None


def apart(here, there):
    return here.split("/")[0] != there.split("/")[0] and all(
        room.split("/")[0] + "/" in APART for room in (here, there))


def arrows(root):
    folders = sorted({prefix.split("/")[0] for prefix in FLOORS})
    for folder in folders:
        for source in sorted((root / folder).rglob("*")):
            if source.suffix not in (".h", ".cpp") or not source.is_file():
                continue
            name = source.relative_to(root).as_posix()
            yield name, None
            for target in INCLUDE.findall(source.read_text(encoding="utf-8", errors="replace")):
                yield name, target


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
    errors, warnings, found = [], [], list(arrows(root))
    for source, target in found:
        here, there = room(source), room(target or source)
        if here is None or there is None:
            errors.append(f"no room for {source if here is None else target}")
        elif here != there and (FLOORS[there] >= FLOORS[here] or apart(here, there)):
            line = f"arrow up or sideways: {source} ({here}, {FLOORS[here]}) -> {target} ({there}, {FLOORS[there]})"
            (warnings if (source, target) in KNOWN else errors).append(line)
    for line in warnings:
        print("warning: known", line)
    for source, target in sorted(KNOWN - set(found)):
        print(f"note: {source} -> {target} is gone: take it out of KNOWN")
    for line in errors:
        print("error:", line)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
