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

# The picture of the run and the load cases' shares in its heaviest sections.
plot="$(dirname "$vantor")/vantor-plot"
echo
echo "== vantor-plot riser   (in $work)"
"$plot" riser
echo
echo "== the picture of damage and fatigue life along the riser (open it in a web browser):"
echo "   $work/riser.svg"
echo "== each load case's share in the ten heaviest sections (opens in a spreadsheet):"
echo "   $work/riser.Contrib.csv"
echo "== every section's S_Coo, worst hot spot, damage and fatigue life (opens in a spreadsheet):"
echo "   $work/riser.sections.csv"
echo "== the one-page report of the run (open it in a web browser, print it on A4):"
echo "   $work/riser.html"
head -n 4 "$work/riser.Contrib.csv"
