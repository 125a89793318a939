#!/usr/bin/env python3
"""The fault list of make mutate (tests/mutate/faults.txt): list it, check that
every fault applies to a source tree, or put one fault into a tree.

  apply_fault.py LIST names          the fault names, one a line
  apply_fault.py LIST describe NAME  "flags<TAB>file<TAB>what" of one fault
  apply_fault.py LIST check TREE     every fault's search text occurs exactly once
  apply_fault.py LIST apply TREE NAME

A fault is a block of "key: value" lines (name, file, flags, what, find,
repl), blocks apart by blank lines, '#' lines are comments. find and repl are
taken literally, from after "find: " / "repl: " to the end of the line. Exits 1
with the reason when a search text does not occur exactly once.
"""
import sys
from pathlib import Path

KEYS = ("name", "file", "flags", "what", "find", "repl")


def read_list(path):
    faults, block = [], {}
    for number, line in enumerate(Path(path).read_text().splitlines(), 1):
        if line.startswith("#"):
            continue
        if not line.strip():
            if block:
                faults.append(block)
                block = {}
            continue
        key, sep, value = line.partition(": ")
        if not sep or key not in KEYS or key in block:
            sys.exit(f"{path}:{number}: expected one of {', '.join(KEYS)}: {line!r}")
        block[key] = value
    if block:
        faults.append(block)
    names = set()
    for f in faults:
        missing = [k for k in KEYS if k not in f and k != "flags"]
        if missing:
            sys.exit(f"{path}: fault {f.get('name', '?')}: missing {', '.join(missing)}")
        if f["name"] in names:
            sys.exit(f"{path}: fault {f['name']} listed twice")
        names.add(f["name"])
    return faults


def apply(tree, fault, write):
    path = Path(tree) / fault["file"]
    text = path.read_text()
    count = text.count(fault["find"])
    if count != 1:
        return f"{fault['name']}: search text found {count} times in {fault['file']}"
    if write:
        path.write_text(text.replace(fault["find"], fault["repl"]))
    return None


def main():
    faults = read_list(sys.argv[1])
    command = sys.argv[2]
    by_name = {f["name"]: f for f in faults}
    if command == "names":
        print("\n".join(f["name"] for f in faults))
    elif command == "describe":
        f = by_name[sys.argv[3]]
        print(f"{f.get('flags', '-')}\t{f['file']}\t{f['what']}")
    elif command == "check":
        errors = [e for f in faults if (e := apply(sys.argv[3], f, False))]
        for e in errors:
            print(e, file=sys.stderr)
        sys.exit(1 if errors else 0)
    elif command == "apply":
        name = sys.argv[4]
        if name not in by_name:
            sys.exit(f"no fault named {name}")
        error = apply(sys.argv[3], by_name[name], True)
        if error:
            sys.exit(error)
    else:
        sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    main()
