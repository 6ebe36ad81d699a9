#!/usr/bin/env bash
# Smoke test of the real window: runs veldarin-script --display under a virtual X server, takes
# a screenshot while the "Program Information" box is up, and checks that it shows the menu bar
# and the box. Usage: display_smoke.sh VELDARIN_SCRIPT WORK_DIR. Exit 77 (skipped) when no
# virtual X server can be started.
set -euo pipefail
program=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)

for tool in xwd convert compare; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work/home"
. "$here/virtual_x.sh"
start_virtual_x "$work" || exit 77

out=$work/output.txt
screenshot_when_shown "$work" "$out" 'BOX \[Program Information\]' 200 \
  "$program" --display --hold 8 --script "$here/display_smoke.vds" --home "$work/home"
status=$shown_status
cat "$out"
[ "$status" = 0 ] || { echo "FAIL: veldarin-script --display ended with $status"; exit 1; }

fail=0
# Number of pixels of the region (WxH+X+Y) whose colour is within 8% of COLOUR.
count() {
  local size=${1%%+*}
  convert "$work/screen.png" -crop "$1" +repage "$work/region.png"
  local differ
  differ=$(compare -metric AE -fuzz 8% "$work/region.png" -size "$size" "xc:$2" null: 2>&1 || true)
  awk -v s="$size" -v d="$differ" 'BEGIN { split(s, wh, "x"); printf "%d\n", wh[1] * wh[2] - d }'
}
# Number of dark pixels (text) of the region.
dark() {
  convert "$work/screen.png" -crop "$1" +repage -colorspace gray -threshold 35% \
    -format '%[fx:round((1-mean)*w*h)]' info:
}
# Mean brightness (0..1) of the region.
mean() { convert "$work/screen.png" -crop "$1" +repage -colorspace gray -format '%[fx:mean]' info:; }
check() { # description, value, low, high
  if awk -v v="$2" -v lo="$3" -v hi="$4" 'BEGIN { exit !(v >= lo && v <= hi) }'; then
    echo "ok: $1 ($2)"
  else
    echo "FAIL: $1: $2 is not within $3 .. $4"
    fail=1
  fi
}
check "the screen is not blank" "$(convert "$work/screen.png" -colorspace gray -format '%[fx:standard_deviation]' info:)" 0.02 1
# The menu bar: grey, with the dark letters of "File Edit Options ..." at its left.
check "menu bar background is grey" "$(mean 600x16+700+4)" 0.55 0.95
check "menu bar titles are drawn" "$(dark 440x16+0+4)" 100 3000
check "window area below the menu is white" "$(mean 400x300+800+600)" 0.99 1
# The box: its blue information mark and its grey face with text, in front of the window.
check "information mark of the box" "$(count 1280x1024+0+0 'rgb(40,90,200)')" 400 4000
check "box face is grey" "$(count 1280x1024+0+0 'rgb(192,192,192)')" 20000 400000
check "box text is drawn" "$(dark 1280x950+0+30)" 300 20000
exit $fail
