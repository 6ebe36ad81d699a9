#!/usr/bin/env bash
# The 2-D sensitivity command end to end: section_script.vds runs through veldarin-script, and
# the Surfer data and post files it writes match the reviewed copies in golden/ (every number
# to 1e-5, every other word exactly).
# Usage: section_script.sh VELDARIN_SCRIPT WORK_DIR SOURCE_DIR
set -u
script=$1
work=$2
here="$3/tests/sensitivity"
rm -rf "$work" && mkdir -p "$work/home"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$script" --script "$here/section_script.vds" --home "$work/home" > "$work/run.log" 2>&1 ||
  fail "exit $? $(cat "$work/run.log")"

# Largest difference of the numbers of two files of the same shape; "shape" when the lines or
# words differ in count or a word that is no number differs.
compare() {
  awk 'NR == FNR { a[FNR] = $0; n = FNR; next }
       { m = FNR; gsub(/,/, " "); split($0, w); t = a[FNR]; gsub(/,/, " ", t); k = split(t, v)
         if (k != length(w)) { bad = 1; exit }
         for (i = 1; i <= k; i++) {
           if (v[i] ~ /^-?[0-9.]+$/ && w[i] ~ /^-?[0-9.]+$/) {
             d = v[i] - w[i]; if (d < 0) d = -d; if (d > worst) worst = d
           } else if (v[i] != w[i]) { bad = 1; exit }
         } }
       END { if (bad || m != n) print "shape"; else printf "%.6f\n", worst }' "$1" "$2"
}
for name in sig2wenneralpha.dat sig2wenneralpha_post.dat; do
  if [ ! -s "$work/home/$name" ]; then fail "$name not written"; continue; fi
  worst=$(compare "$here/golden/$name" "$work/home/$name")
  if [ "$worst" = shape ] || awk -v w="$worst" 'BEGIN { exit !(w > 1e-5) }'; then
    fail "$name differs from golden/$name ($worst)"
  fi
done

[ "$failures" = 0 ] && echo "section script: files match the reviewed copies"
exit "$failures"
