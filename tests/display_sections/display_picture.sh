#!/usr/bin/env bash
# The picture of the bundled homogeneous example (25 electrodes, 100 ohm-m, Wenner):
#   batch   veldarin-script --batch writes a bitmap with the pseudosection of the calculated
#           data (band colours down the middle of the data area, a white mark on every data
#           point above the last level, the 17 boxes of the colour bar) and the model section
#           below it (the colour of its one value), at the pixels the layout gives on a client
#           area of 1007 x 726: 36 pixels a spacing from x = 60 (the line and its labels end
#           inside the window), the section's top at y = 88; nothing drawn between the last
#           level and the colour bar, below the model section or at the right edge.
#   window  veldarin-script --display shows the same picture in the real window under a
#           virtual X server: the screenshot's upper part equals the bitmap's, pixel for pixel,
#           and the model section lies below it.
# Usage: display_picture.sh batch|window VELDARIN_SCRIPT WORK_DIR SOURCE_DIR. Exit 77
# (skipped) when ImageMagick or the X tools are missing.
set -euo pipefail
mode=$1
program=$2
work=$3
source=$4
here=$(cd "$(dirname "$0")" && pwd)

tools="convert compare"
[ "$mode" = window ] && tools="$tools xwd"
for tool in $tools; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work/home" "$work/out"

fail=0
check() { # description, command...
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; fail=1; fi
}
pixel() { convert "$1" -format '%[hex:p{'"$2"'}]' info: | cut -c1-6; }
# Number of pixels of the region (WxH+X+Y) that are not white.
dark() { convert "$1" -crop "$2" +repage -colorspace gray -threshold 99% -negate -format '%[fx:round(mean*w*h)]' info:; }
# The 17 colours of the colour scale (RRGGBB).
bands="000080 0000AA 0000D3 0000FF 0080FF 00FFFF 00C080 00FF00 008000 80C000 FFFF00 BF8000
       FF8000 FF0000 D30000 840040 600060"
band_of() { local i=0; for b in $bands; do [ "$b" = "$1" ] && { echo $i; return; }; i=$((i + 1)); done; echo -1; }

"$program" --batch "$source/examples/homogeneous_wenner.mod" --out "$work/out" --home "$work/home" \
  >"$work/batch.txt" 2>&1 || { cat "$work/batch.txt"; echo "FAIL: the batch run"; exit 1; }
bmp=$work/out/homogeneous_wenner.bmp

if [ "$mode" = batch ]; then
  check "the bitmap is the client area, 1007 x 726" \
    test "$(convert "$bmp" -format '%w x %h' info:)" = "1007 x 726"
  # Down the middle of the data area (one pixel right of electrode 12 at x = 60 + 12 x 36,
  # clear of the data points' marks) every pixel is a band.
  off=$(convert "$bmp" -crop 1x125+493+106 +repage txt:- | awk 'NR > 1 { print substr($3, 2, 6) }' |
        while read -r c; do [ "$(band_of "$c")" -ge 0 ] || echo "$c"; done | wc -l)
  check "the data area is painted in band colours ($off other pixels)" test "$off" = 0
  distinct=$(convert "$bmp" -crop 1x125+493+106 +repage -unique-colors -format '%w' info:)
  check "the pseudosection shows $distinct bands" test "$distinct" -ge 10
  # The datum of a = 2 centred on electrode 12 (pseudodepth 0.512 x 2 spacings) is marked.
  check "the data point at 492,125 is marked white" test "$(pixel "$bmp" 492,125)" = FFFFFF
  check "beside it the band shows" test "$(band_of "$(pixel "$bmp" 493,125)")" -ge 0
  check "outside the data area it is white" test "$(pixel "$bmp" 80,200)" = FFFFFF
  # The colour bar: 17 boxes 30 pixels wide, 37 apart from x = 24, in the band colours.
  for k in $(seq 0 16); do
    c=$(pixel "$bmp" "$((24 + 37 * k + 15)),265")
    [ "$(band_of "$c")" = "$k" ] || { echo "box $k is $c"; fail=1; }
  done
  echo "ok: colour bar checked"
  # The model section: every block in the colour of its one value (band 0).
  for p in 100,450 540,450 540,600 900,500; do
    check "model block at $p" test "$(pixel "$bmp" $p)" = 000080
  done
  # Where drawing faults were: nothing between the last level and the colour bar (the last
  # level's label was written again there), nothing below the model section (depth ticks of the
  # rows not shown), nothing in the right 40 columns ("24.0 m." and "Unit electrode spacing
  # 1.0 m." ran past the edge).
  for region in 1007x18+0+240 1007x102+0+624 40x726+967+0; do
    check "nothing is drawn in $region" test "$(dark "$bmp" "$region")" = 0
  done
  exit $fail
fi

. "$source/tests/shell/virtual_x.sh"
# The screen of the batch run: the window's client area is then the bitmap's.
start_virtual_x "$work" 1024x768 || exit 77
screenshot_when_shown "$work" "$work/output.txt" 'BOX \[Help Message\]' 300 \
  "$program" --display --hold 3 --script "$here/display_picture.vds" --home "$work/home"
status=$shown_status
grep -v '^TEXT' "$work/output.txt"
check "veldarin-script --display ends with 0 ($status)" test "$status" = 0

# The upper part of the picture (page title and electrode axis above the help box, and the
# left of the pseudosection and the colour bar beside it) equals the bitmap's; the client area
# starts below the menu bar.
convert "$bmp" -crop 1000x75+0+0 +repage "$work/bitmap_top.png"
convert "$bmp" -crop 250x330+0+0 +repage "$work/bitmap_left.png"
found=-1
for dy in $(seq 0 80); do
  convert "$work/screen.png" -crop "1000x75+0+$dy" +repage "$work/screen_top.png"
  differ=$(compare -metric AE "$work/screen_top.png" "$work/bitmap_top.png" null: 2>&1 || true)
  [ "$differ" = 0 ] && { found=$dy; break; }
done
check "the screenshot shows the pseudosection of the bitmap (client at y = $found)" test "$found" -ge 0
if [ "$found" -ge 0 ]; then
  convert "$work/screen.png" -crop "250x330+0+$found" +repage "$work/screen_left.png"
  differ=$(compare -metric AE "$work/screen_left.png" "$work/bitmap_left.png" null: 2>&1 || true)
  check "the levels and the colour bar's start equal the bitmap's ($differ pixels differ)" test "$differ" = 0
  check "the model section below is drawn" test "$(pixel "$work/screen.png" "100,$((found + 450))")" = 000080
fi
exit $fail
