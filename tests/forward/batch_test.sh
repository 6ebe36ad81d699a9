#!/usr/bin/env bash
# End-to-end runs of `veldarin-script --batch`: every bundled example writes its data file (the
# cylinder example the golden one); homogeneous 100 ohm-m models give 100 ohm-m within 2 % for
# the Wenner, dipole-dipole, pole-dipole and Wenner-Schlumberger arrays by finite differences
# and (with a flat topography list, which selects them) finite elements; a uniform
# chargeability of 0.05 gives 50 mV/V; a broken model file prints its message, exits non-zero
# and writes no data file.
# Usage: batch_test.sh VELDARIN_SCRIPT WORK_DIR SOURCE_DIR
set -u
script=$1
work=$2
source=$3
rm -rf "$work" && mkdir -p "$work/home" "$work/out"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

batch() { "$script" --batch "$1" --out "$work/out" --home "$work/home" > "$work/last.log" 2>&1; }

# Every bundled example runs to its data file.
for model in "$source"/examples/*.mod; do
  name=$(basename "$model" .mod)
  batch "$model" || fail "$name: exit $? $(cat "$work/last.log")"
  [ -s "$work/out/$name.dat" ] || fail "$name: no data file"
  [ -s "$work/out/$name.bmp" ] || fail "$name: no bitmap"
  grep -q "^Data file written: " "$work/last.log" || fail "$name: data file not reported"
done

# The cylinder example in the cylinder layout, as checked by hand: level values within 0.6 % of
# the series solution of a homogeneous cylinder, 50 mV/V, electrodes round the ring.
cmp -s "$work/out/cylinder_wenner.dat" "$source/tests/forward/golden/cylinder_wenner.dat" ||
  fail "cylinder_wenner: the data file differs from tests/forward/golden/cylinder_wenner.dat"

base="$source/examples/homogeneous_wenner.mod"
rows=$(grep -c '^0\{96\}$' "$base")
# $1 file array code, $2 fd|fe, $3 ip|noip: a variant of the homogeneous example.
variant() {
  local model="$work/variant_$1_$2_$3.mod"
  head -n -1 "$base" > "$model"
  if [ "$3" = ip ]; then
    printf 'IP present\n1\n0.05\n' >> "$model"
    grep '^0\{96\}$' "$base" >> "$model"
  fi
  echo "$1" >> "$model"
  # No results, no potentials, no data; a flat topography list of two points.
  [ "$2" = fe ] && printf '0\n0\n0\n1\n2\n0.0,0.0\n24.0,0.0\n0\n0\n' >> "$model"
  echo "$model"
}

# Largest |rho / 100 - 1| over the data lines of a data file (and the IP column check); $3, when
# given, counts header lines before the data count (the offset line of codes 8 and 10).
check_values() {
  local dat=$1 ip=$2 extra=${3:-0} header=6
  [ "$ip" = ip ] && header=9
  header=$((header + extra))
  awk -v h="$header" -v ip="$ip" -v c=$((4 + extra)) '
    NR == c { count = $1 }
    NR <= h { next }
    NR > h + count { exit }
    { rho = ip == "ip" ? $(NF - 1) : $NF; d = rho / 100 - 1; if (d < 0) d = -d;
      if (d > worst) worst = d; n++
      if (ip == "ip" && ($NF < 49.999 || $NF > 50.001)) bad_ip++ }
    END { printf "%d %.5f %d\n", n, worst, bad_ip }' "$dat"
}

for code in 1 3 6 7; do
  for method in fd fe; do
    model=$(variant $code $method noip)
    name=$(basename "$model" .mod)
    batch "$model" || { fail "$name: exit $? $(cat "$work/last.log")"; continue; }
    read -r n worst bad <<< "$(check_values "$work/out/$name.dat" noip)"
    echo "$name: $n data, largest deviation $worst"
    [ "$n" -gt 20 ] || fail "$name: only $n data"
    awk -v w="$worst" 'BEGIN { exit !(w < 0.02) }' || fail "$name: deviation $worst"
  done
done

model=$(variant 3 fd ip)
name=$(basename "$model" .mod)
if batch "$model"; then
  read -r n worst bad <<< "$(check_values "$work/out/$name.dat" ip)"
  echo "$name: $n data, largest deviation $worst, IP values off 50 mV/V: ${bad:-0}"
  [ "${bad:-0}" -eq 0 ] && [ "$n" -gt 20 ] || fail "$name: IP values"
else
  fail "$name: exit $?"
fi

# A uniform slope given as distances along the surface: a homogeneous half-space under a plane
# surface still reads 100 ohm-m (the measured worst is 5.3 %, from the mesh); electrodes that
# crowd together down the slope would read ten times that.
model="$work/slope_surface.mod"
head -n -1 "$base" > "$model"
printf '1\n0\n0\n0\n2\n2\n0.0,0.0\n24.0,6.0\n0\n0\n' >> "$model"
if batch "$model"; then
  read -r n worst bad <<< "$(check_values "$work/out/slope_surface.dat" noip)"
  echo "slope_surface: $n data, largest deviation $worst"
  awk -v w="$worst" 'BEGIN { exit !(w < 0.06) }' || fail "slope_surface: deviation $worst"
else
  fail "slope_surface: exit $?"
fi

# A model file with an error: its message, a non-zero exit, no data file.
sed '2s/.*/5/' "$base" > "$work/broken.mod"
if batch "$work/broken.mod"; then fail "broken model: exit 0"; fi
grep -q "Too few electrodes" "$work/last.log" || fail "broken model: message not printed"
[ -e "$work/out/broken.dat" ] && fail "broken model: a data file was written"

# A cliff in the hill example's topography that the mesh cannot follow, given as distances
# along the surface (flag 2) and as horizontal distances (flag 1): the model is refused whole,
# with its message, a non-zero exit and no data file (a flat earth calculated in its place would
# carry the model's name).
for flag in 1 2; do
  model="$work/cliff_$flag.mod"
  # The hill up to its array line (line 25), then no results and the cliff.
  head -n 25 "$source/examples/hill.mod" > "$model"
  printf '0\n0\n0\n%d\n4\n0 0\n29.99 0\n30 50\n60 50\n0\n0\n' "$flag" >> "$model"
  if batch "$model"; then fail "cliff_$flag: exit 0"; fi
  grep -q "BOX \[Error Message\] Error in" "$work/last.log" || fail "cliff_$flag: no message"
  [ -e "$work/out/cliff_$flag.dat" ] && fail "cliff_$flag: a data file was written"
done

# An output folder that does not exist yet is made; a file in its place is refused.
"$script" --batch "$base" --out "$work/new/sub" --home "$work/home" > "$work/last.log" 2>&1 ||
  fail "new output folder: exit $? $(cat "$work/last.log")"
[ -s "$work/new/sub/homogeneous_wenner.dat" ] || fail "new output folder: no data file"
if "$script" --batch "$base" --out "$base" --home "$work/home" > "$work/last.log" 2>&1; then
  fail "output folder that is a file: exit 0"
fi

# Offset pole-dipole, the current electrode on a parallel line one spacing away: a homogeneous
# half-space reads 100 ohm-m (measured worst 2.2 %, from the offset potentials) by finite
# differences and finite elements; reading the in-line potential less the offset one gave 93
# at n = 1 and nearly 0 at large n.
for method in fd fe; do
  model="$work/offset_pd_$method.mod"
  head -n -1 "$base" > "$model"
  printf '10\n1.0\n' >> "$model"
  [ "$method" = fe ] && printf '0\n0\n0\n1\n2\n0.0,0.0\n24.0,0.0\n0\n0\n' >> "$model"
  name=$(basename "$model" .mod)
  if batch "$model"; then
    read -r n worst bad <<< "$(check_values "$work/out/$name.dat" noip 1)"
    echo "$name: $n data, largest deviation $worst"
    [ "$n" -gt 20 ] || fail "$name: only $n data"
    awk -v w="$worst" 'BEGIN { exit !(w < 0.025) }' || fail "$name: deviation $worst"
  else
    fail "$name: exit $? $(cat "$work/last.log")"
  fi
done

[ "$failures" -eq 0 ] && echo "batch runs: all passed"
exit $((failures > 0))
