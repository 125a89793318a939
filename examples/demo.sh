#!/bin/sh
# Runs Vantor on the shipped example (5 load cases, 120 sections, 8 hot spots)
# in a scratch folder, answering its questions from examples/riser/answers.txt.
set -eu
vantor=$(realpath "${1:-build/vantor}")
here=$(cd "$(dirname "$0")" && pwd)
work="$(dirname "$vantor")/demo"
rm -rf "$work"
mkdir -p "$work"
cp "$here"/riser/*.RawDam "$here/riser/probs.txt" "$work/"
cd "$work"
echo "== vantor < answers.txt   (in $work)"
"$vantor" < "$here/riser/answers.txt"
status=$?
echo
echo "== exit status $status; files written in $work:"
ls -l "$work"/*.WghDam "$work"/*.AccDam
echo
echo "== head of riser.AccDam:"
head -n 24 "$work/riser.AccDam"
