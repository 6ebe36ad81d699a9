#!/usr/bin/env bash
# The batch run never destroys a file and never reports a failure as success: an output that
# would replace the model is refused before anything runs; a failed step (a bitmap path that is
# a folder, a disk that fills up, a model refused after its level limit) ends the run with exit
# 1 and writes nothing after it, leaving the files that were there; bad paths and folders are
# named with their cause; paths longer than 260 characters work.
# Usage: batch_safety_test.sh VELDARIN_SCRIPT WORK_DIR SOURCE_DIR
set -u
script=$1
work=$2
source=$3
rm -rf "$work" && mkdir -p "$work/home" "$work/out"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
base="$source/examples/homogeneous_wenner.mod"

# run EXPECTED_EXIT NAME ARGS...: the batch with its output in $work/last.log.
run() {
  local expected=$1 name=$2
  shift 2
  "$script" --home "$work/home" "$@" > "$work/last.log" 2>&1
  local got=$?
  [ "$got" -eq "$expected" ] || fail "$name: exit $got, not $expected: $(tail -3 "$work/last.log")"
}
said() { grep -qF -- "$2" "$work/last.log" || fail "$1: no '$2' in: $(tail -3 "$work/last.log")"; }

# An output named like the model, the model itself or through a link, is refused untouched.
mkdir -p "$work/same" && cp "$base" "$work/same/line7.dat" && cp "$base" "$work/same/pic.bmp"
run 2 "model named .dat" --batch "$work/same/line7.dat"
said "model named .dat" "the output file $work/same/line7.dat would replace the model file itself"
run 2 "model named .bmp" --batch "$work/same/pic.bmp"
cp "$base" "$work/same/linked.mod" && mkdir -p "$work/same/out"
ln -s ../linked.mod "$work/same/out/linked.dat"
run 2 "output linked to the model" --batch "$work/same/linked.mod" --out "$work/same/out"
for f in line7.dat pic.bmp linked.mod; do
  cmp -s "$base" "$work/same/$f" || fail "the model $f was changed"
done
[ -e "$work/same/line7.bmp" ] && fail "a bitmap was written before the refusal"

# A bitmap path that is a folder fails its step, and the data file is not written after it.
mkdir -p "$work/out/homogeneous_wenner.bmp"
run 1 "bitmap path is a folder" --batch "$base" --out "$work/out"
said "bitmap path is a folder" "Cannot open file $work/out/homogeneous_wenner.bmp\nIs a directory."
[ -e "$work/out/homogeneous_wenner.dat" ] && fail "bitmap path is a folder: data file written"
grep -q "^Data file written" "$work/last.log" && fail "bitmap path is a folder: reported written"

# An error box after the level limit (topography with no points) fails the read: no
# calculation, no data file.
topo="$work/topo_none.mod"
head -n -1 "$base" > "$topo" && printf '1\n0\n0\n0\n1\n0\n0\n0\n' >> "$topo"
run 1 "topography of 0 points" --batch "$topo" --out "$work/out"
said "topography of 0 points" "Number of elevation data points is 0."
grep -q "Calculations completed" "$work/last.log" && fail "topography of 0 points: calculated"
[ -e "$work/out/topo_none.dat" ] && fail "topography of 0 points: data file written"

# Folders and scripts that cannot be used are named with the cause.
run 2 "script that is a folder" --script "$work/out"
said "script that is a folder" "cannot read the script: it is not a regular file"
run 2 "model that is a folder" --batch "$work/out"
said "model that is a folder" "it is not a regular file"

# Paths longer than 260 characters: model and output folder.
long="$work/$(printf 'd%.0s' {1..120})/$(printf 'e%.0s' {1..120})"
mkdir -p "$long/out" && cp "$base" "$long/model_with_a_long_path.mod"
run 0 "long paths" --batch "$long/model_with_a_long_path.mod" --out "$long/out"
[ -s "$long/out/model_with_a_long_path.dat" ] || fail "long paths: no data file"

# A small file system of this test's own (a mount namespace; skipped where none can be made):
# the bitmap does not fit, so the run fails at that step, and the old bitmap and data file
# stay as they were, with no partial file beside them. A read-only one is named as such.
small="$work/small"
mkdir -p "$small"
echo "old data" > "$work/old.dat" && echo "old picture" > "$work/old.bmp"
if unshare -rm true 2> /dev/null || [ "$(id -u)" -eq 0 ]; then
  unshare_args=(-m)
  [ "$(id -u)" -eq 0 ] || unshare_args=(-rm)
  unshare "${unshare_args[@]}" bash -c '
    set -e
    mount -t tmpfs -o size=512k tmpfs "$2"
    cp "$4/old.dat" "$2/homogeneous_wenner.dat"
    cp "$4/old.bmp" "$2/homogeneous_wenner.bmp"
    "$1" --home "$4/home" --batch "$3" --out "$2" > "$4/full.log" 2>&1 && echo "exit 0" >> "$4/full.log"
    ls -A "$2" > "$4/full.ls"
    cmp -s "$4/old.dat" "$2/homogeneous_wenner.dat" || echo "data file changed" >> "$4/full.log"
    cmp -s "$4/old.bmp" "$2/homogeneous_wenner.bmp" || echo "bitmap changed" >> "$4/full.log"
    mkdir -p "$4/ro" && mount -t tmpfs -o ro,size=64k tmpfs "$4/ro"
    "$1" --home "$4/home" --batch "$3" --out "$4/ro/sub" > "$4/ro.log" 2>&1 || true
    "$1" --home "$4/home" --batch "$3" --out "$4/ro" >> "$4/ro.log" 2>&1 || true
  ' sh "$script" "$small" "$base" "$work" || fail "small file system: the run could not be set up"
  grep -q "No space left on device" "$work/full.log" || fail "full disk: cause not named: $(tail -3 "$work/full.log")"
  grep -q "^FAILED saving the window as a bitmap" "$work/full.log" || fail "full disk: step not failed"
  grep -q "exit 0\|changed\|^Data file written" "$work/full.log" && fail "full disk: $(cat "$work/full.log")"
  [ "$(tr '\n' ' ' < "$work/full.ls")" = "homogeneous_wenner.bmp homogeneous_wenner.dat " ] ||
    fail "full disk: files left: $(cat "$work/full.ls")"
  grep -q "\-\-out $work/ro/sub cannot be made: Read-only file system" "$work/ro.log" ||
    fail "read-only output folder to make: $(cat "$work/ro.log")"
  grep -q "\-\-out $work/ro cannot be written: Read-only file system" "$work/ro.log" ||
    fail "read-only output folder: $(cat "$work/ro.log")"
else
  echo "SKIP: no mount namespace for the small file system"
fi

[ "$failures" -eq 0 ] && echo "batch safety: all passed"
exit $((failures > 0))
