#!/usr/bin/env bash
# Long lines through `veldarin-script --batch`: the batch calculates at the program's largest
# limits (601 electrodes) whatever its screen, and refuses 602 with the limit in the message;
# the window program on a 1024-wide screen keeps its own limit (231 with 4 GiB). Homogeneous
# dipole-dipole lines, 2 nodes a spacing, the default depths of 16 rows.
# Usage: batch_long_lines.sh VELDARIN_SCRIPT WORK_DIR ELECTRODES...
set -u
script=$1
work=$2
shift 2
rm -rf "$work" && mkdir -p "$work/home" "$work/out"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

batch() { "$script" --batch "$1" --out "$work/out" --home "$work/home" > "$work/last.log" 2>&1; }

# Data lines of a data file: their count and the largest |rho / 100 - 1|.
check_values() {
  awk 'NR == 4 { count = $1 } NR <= 6 { next } NR > 6 + count { exit }
       { d = $NF / 100 - 1; if (d < 0) d = -d; if (d > worst) worst = d; n++ }
       END { printf "%d %.5f\n", n, worst }' "$1"
}

long_line() {
  local model="$work/line$1.mod"
  { printf 'Homogeneous line of %d electrodes\n%d\n8\n0\n1.0\n0\n0 1\n1\n2\n100\n16\n' "$1" "$1"
    for _ in $(seq 16); do echo 0; done
    echo 3; } > "$model"
  echo "$model"
}
for n in "$@"; do
  model=$(long_line $n)
  if batch "$model"; then
    grep -q 'Maximum number of electrodes is 601\.' "$work/last.log" ||
      fail "line$n: the limit shown is not 601"
    read -r count worst <<< "$(check_values "$work/out/line$n.dat")"
    echo "line$n: $count data, largest deviation $worst"
    [ "$count" -gt $((n * 20)) ] || fail "line$n: only $count data"
    # The wide arrays of the set reach far beyond the 21 spacings of the grid (measured worst
    # 1.2 %; 134 % and 281 % without the padding of the solvers' mesh).
    awk -v w="$worst" 'BEGIN { exit !(w < 0.02) }' || fail "line$n: deviation $worst"
  else
    fail "line$n: exit $? $(grep -v '^TEXT' "$work/last.log")"
  fi
done
if batch "$(long_line 602)"; then fail "602 electrodes: exit 0"; fi
grep -q 'Too many electrodes!\\nMaximum number of electrodes is 601\.' "$work/last.log" ||
  fail "602 electrodes: no refusal with the limit"
[ -e "$work/out/line602.dat" ] && fail "602 electrodes: a data file was written"
printf 'start screen 1024 768 memory 4096\nfile %s\nmenu 101\nexpect box "%s"\nclose\n' \
  "$(long_line 301)" 'Too many electrodes!\nMaximum number of electrodes is 231.' > "$work/narrow.txt"
"$script" --script "$work/narrow.txt" --home "$work/home" > "$work/last.log" 2>&1 ||
  fail "301 electrodes on a 1024-wide screen: $(cat "$work/last.log")"

[ "$failures" -eq 0 ] && echo "long lines: all passed"
exit $((failures > 0))
