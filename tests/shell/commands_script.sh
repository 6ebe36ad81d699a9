#!/usr/bin/env bash
# The option, model and export commands end to end: commands_script.vds runs through
# veldarin-script beside a copy of the bundled example, and the files it leaves are checked: the
# trace file, the Surfer model file, the potential section and no converted model (the example
# has 4 nodes per spacing already).
# Usage: commands_script.sh VELDARIN_SCRIPT WORK_DIR SOURCE_DIR
set -u
script=$1
work=$2
source=$3
rm -rf "$work" && mkdir -p "$work/home"
cp "$source/tests/shell/commands_script.vds" "$source/examples/homogeneous_wenner.mod" "$work/"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$script" --script "$work/commands_script.vds" --home "$work/home" > "$work/run.log" 2>&1 ||
  fail "exit $? $(cat "$work/run.log")"

[ "$(head -1 "$work/home/kwoptrace.txt" 2>/dev/null)" = "2D trace" ] ||
  fail "the trace file does not start with its first line"
# 25 electrodes, 4 nodes per spacing and the rows of the extended grid: a title line and one line
# a cell between the first and last electrode.
lines=$(wc -l < "$work/model.txt" 2>/dev/null || echo 0)
[ "$lines" -gt 96 ] && [ $(((lines - 1) % 96)) = 0 ] || fail "model.txt has $lines lines"
[ "$(head -1 "$work/model.txt")" = "X-location Z-location Resistivity(Ohm.m)" ] ||
  fail "model.txt header"
[ "$(wc -l < "$work/home/pot1elec.dat" 2>/dev/null)" = 821 ] || fail "pot1elec.dat lines"
[ ! -e "$work/four_nodes.mod" ] || fail "a 4-node model was converted again"

[ "$failures" = 0 ] && echo "commands script: every command ran and left its files"
exit "$failures"
