#!/usr/bin/env bash
# The `optimise` action of veldarin-script: a BGS run on 10 electrodes writes its report and
# configuration file into the program folder and prints the closing box; without an answer to
# the options dialog nothing runs.
# Usage: optimise_script.sh VELDARIN_SCRIPT WORK_DIR
set -u
program=$1
work=$2
rm -rf "$work" && mkdir -p "$work/home" "$work/idle"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cat > "$work/bgs.vds" <<'SCRIPT'
dialog OptArrayDiaBox click 1302 set 1313 10 set 1320 5 ok
optimise
expect box "[Message] Calculation of optimized arrays completed.\nNumber of iterations 5.*"
close
SCRIPT
"$program" --script "$work/bgs.vds" --home "$work/home" > "$work/bgs.log" 2>&1 ||
  fail "BGS run: exit $? $(cat "$work/bgs.log")"
report="$work/home/model_res_bgs_10.txt"
[ "$(head -n 3 "$report")" = "$(printf 'BGS method used\nNumber of model layers is 4.\nNumber of model blocks is 36.')" ] ||
  fail "report head: $(head -n 3 "$report")"
grep -q '^Iteration 5 Model resolution ratio ' "$report" || fail "no fifth iteration in the report"
grep -q '^Summary of results$' "$report" || fail "no summary in the report"
grep -q '^45$' "$work/home/model_res_bgs_10_mod.txt" || fail "configuration file without 45 arrays"
grep -q 'model_res_bgs_10_mod.txt' "$work/bgs.log" || fail "the closing box names no files"
for name in elecs_opt.bin elecs_file.bin grad2d_pp.bin gradmatrix_complete.bin invmatrix.bin; do
  [ -e "$work/home/$name" ] && fail "work file $name left after the program ended"
done

printf 'optimise\nclose\n' > "$work/none.vds"
"$program" --script "$work/none.vds" --home "$work/idle" > "$work/none.log" 2>&1 ||
  fail "unanswered dialog: exit $?"
grep -q '^NOANSWER dialog OptArrayDiaBox$' "$work/none.log" || fail "the dialog was not asked"
ls "$work/idle" | grep -q '^model_res' && fail "a report without an answer to the dialog"

[ "$failures" = 0 ] && echo "optimise script: all passed"
exit "$failures"
