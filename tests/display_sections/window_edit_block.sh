#!/usr/bin/env bash
# The real window after a read, a calculation, a block edit, a second calculation and the save
# of the data file (examples/scripts/edit_block.txt through veldarin-script --display under a
# virtual X server of 1024 x 768), against the --batch bitmap of the edited model the script
# saves on closing. Both pictures come from the same drawing code: the client area of the
# screenshot (below the 25 pixels of the menu bar) equals the bitmap pixel for pixel except in
# the status line, a child window over the bottom of the client area that the bitmap does not
# hold ("Data file written: ..."). The screenshot is taken while the closing question is up,
# with its box moved off the screen.
# Usage: window_edit_block.sh VELDARIN_SCRIPT WORK_DIR SOURCE_DIR. Exit 77 (skipped) when
# ImageMagick or the X tools are missing or no virtual X server can be started.
set -euo pipefail
program=$1
work=$2
source=$3

for tool in xwd xdotool convert compare; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work/home" "$work/batch_home" "$work/out"
. "$source/tests/shell/virtual_x.sh"
start_virtual_x "$work" 1024x768 || exit 77

fail=0
check() { # description, command...
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; fail=1; fi
}
pixel() { convert "$1" -format '%[hex:p{'"$2"'}]' info: | cut -c1-6; }

# Each box stays up for 4 s; the last one, the question whether to save the edited model, is
# moved off the screen before the screenshot.
out=$work/output.txt
"$program" --display --hold 4 --script "$source/examples/scripts/edit_block.txt" \
  --home "$work/home" >"$out" 2>&1 &
pid=$!
for _ in $(seq 1 600); do
  grep -q 'has been edited and not saved' "$out" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
box=$(timeout 3 xdotool search --sync --onlyvisible --name '^Message$' | head -n 1 || true)
[ -n "$box" ] && xdotool windowmove "$box" 1100 0
# Three screenshots half a second apart, while the box is still held: the window may take a
# moment to draw what the box uncovered.
for shot in 1 2 3; do
  sleep 0.5
  xwd -root -silent >"$work/screen$shot.xwd"
done
status=0
wait "$pid" || status=$?
grep -v '^TEXT' "$out"
check "veldarin-script --display ends with 0 ($status)" test "$status" = 0
check "the closing question was found" test -n "$box"

"$program" --batch "$work/home/edit_block.mod" --out "$work/out" --home "$work/batch_home" \
  >"$work/batch.txt" 2>&1 || { cat "$work/batch.txt"; echo "FAIL: the batch run"; exit 1; }
bmp=$work/out/edit_block.bmp
check "the bitmap is the client area, 1007 x 726" \
  test "$(convert "$bmp" -format '%w x %h' info:)" = "1007 x 726"
# The bitmap shows the edited model: the 10 ohm-m block in its colour box's colour, the half
# space around it in that of 100 ohm-m.
check "the edited block at 492,496" test "$(pixel "$bmp" 492,496)" = 0080FF
check "the half-space at 300,496" test "$(pixel "$bmp" 300,496)" = 000080

# The client area of the first screenshot that equals the bitmap above the status line (the
# bottom 24 rows), else of the last.
convert "$bmp" -crop 1007x702+0+0 +repage "$work/bitmap_top.png"
for shot in 1 2 3; do
  convert "$work/screen$shot.xwd" -crop 1007x726+0+25 +repage "$work/client.png"
  convert "$work/client.png" -crop 1007x702+0+0 +repage "$work/client_top.png"
  above=$(compare -metric AE "$work/client_top.png" "$work/bitmap_top.png" null: 2>&1 || true)
  [ "$above" = 0 ] && break
done
echo "screenshot $shot of 3"
differ=$(compare -metric AE "$work/client.png" "$bmp" "$work/difference.png" 2>&1 || true)
# Where they differ: the bounding box of the differing pixels.
where=$(convert "$work/client.png" "$bmp" -compose difference -composite -colorspace gray \
  -threshold 0 -format '%@' info:)
echo "$differ pixels of the client area differ from the bitmap, within $where"
check "the client area above the status line equals the bitmap ($above pixels differ)" \
  test "$above" = 0
check "the status line says what was written ($differ pixels in all)" test "$differ" -gt 0
exit $fail
