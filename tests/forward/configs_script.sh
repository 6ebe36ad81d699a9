#!/usr/bin/env bash
# User-defined configurations end to end: configs_script.vds runs through veldarin-script in a
# fresh program folder, then the data files it wrote are checked: the three-borehole model's
# lists every borehole and matches every configuration (apparent resistivities of the 100 ohm-m
# half-space within 5 %), the two-borehole model's lists the first two and holds resistances.
# Usage: configs_script.sh VELDARIN_SCRIPT WORK_DIR SOURCE_DIR
set -u
script=$1
work=$2
here="$3/tests/forward"
rm -rf "$work" && mkdir -p "$work/home"
# The models and the configuration file sit in the program folder, where the dialogs start.
cp "$here/fixtures/boreholes_two.mod" "$here/fixtures/boreholes_three.mod" \
   "$here/fixtures/borehole_configurations.txt" "$work/home/"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$script" --script "$here/configs_script.vds" --home "$work/home" > "$work/run.log" 2>&1 ||
  fail "exit $? $(cat "$work/run.log")"

three="$work/home/three.dat"
two="$work/home/two.dat"
[ -s "$three" ] || fail "three.dat not written"
[ -s "$two" ] || fail "two.dat not written"
[ -s "$work/home/three_out.txt" ] || fail "three_out.txt not written"
[ -s "$work/home/two_out.txt" ] || fail "two_out.txt not written"
grep -qx 'Number of boreholes' "$three" || fail "three.dat does not list every borehole"
grep -qx 'Borehole 3 Electrodes' "$three" || fail "three.dat has no third borehole"
grep -qx 'Number of boreholes' "$two" && fail "two.dat was written by the routine of any number"
grep -qx 'Borehole 2 Electrodes' "$two" || fail "two.dat does not list the second borehole"
grep -qx '13' "$two" || fail "two.dat does not hold resistances"
# Four data lines of apparent resistivity near 100 ohm-m.
lines=$(awk '/^Measured Data$/ { on = 1; next } on && /^[234] / { n++;
             if ($NF < 95 || $NF > 105) bad++ } END { print n + 0, bad + 0 }' "$three")
[ "$lines" = "4 0" ] || fail "three.dat data lines (count, outside 5 %): $lines"

[ "$failures" = 0 ] && echo "configuration script: data files as expected"
exit "$failures"
