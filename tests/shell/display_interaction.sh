#!/usr/bin/env bash
# The interactive program on a virtual X server, worked with the keyboard: the first paint's
# box closes with Enter, Esc and q leave the main window open, the "Edit" popup opens without
# the items it removes, and "Quit program" ends the program, which writes its settings file.
# Usage: display_interaction.sh VELDARIN WORK_DIR. Exit 77 (skipped) without the X tools.
set -euo pipefail
program=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)

for tool in xwd convert xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work/home"
. "$here/virtual_x.sh"
start_virtual_x "$work" || exit 77

fail=0
check() { # description, command...
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; fail=1; fi
}
alive() { kill -0 "$pid" 2>/dev/null; }
settle() { sleep 0.6; }

VELDARIN_HOME=$work/home "$program" >"$work/output.txt" 2>&1 &
pid=$!
timeout 20 xdotool search --sync --name "Program Information" >/dev/null
check "the first paint shows the Program Information box" true
xdotool key Return
settle
check "Enter closes the box" \
  bash -c '! xdotool search --name "Program Information" >/dev/null'
main=$(xdotool search --name "VELDARIN ver" | head -n 1)
xdotool mousemove 640 500 click 1
xdotool key Escape
settle
xdotool key q
settle
check "Esc and q leave the main window open" alive
check "the main window is still mapped" bash -c "xdotool search --onlyvisible --name 'VELDARIN ver' >/dev/null"

# The "Edit" popup without its seven removed items: 11 items and 4 separators, not 18 and 4.
# Its height is the first white pixel below the menu bar in a column through it.
popup_height() {
  xwd -root -silent | convert xwd:- -crop 1x700+100+30 +repage txt:"$work/column.txt"
  local bottom
  bottom=$(awk -F'[,:]' 'NR > 1 && /#FFFFFF/ { print $2 + 30; exit }' "$work/column.txt")
  echo $(( ${bottom:-0} - 25 ))
}
xdotool key alt+e
height=0
for _ in $(seq 1 20); do
  sleep 0.3
  height=$(popup_height)
  [ "$height" -gt 100 ] && break
done
check "the Edit popup is 11 items high ($height px)" test "$height" -gt 150 -a "$height" -lt 300
xdotool key Escape
settle

# "Quit program", the only item of the "Quit" popup.
for _ in 1 2 3; do
  xdotool key alt+q
  settle
  xdotool key Down Return
  for _ in $(seq 1 25); do alive || break; sleep 0.2; done
  alive || break
done
check "Quit program ends the program" bash -c "! kill -0 $pid 2>/dev/null"
alive && kill "$pid"
status=0
wait "$pid" || status=$?
check "the program ends with status 0 ($status)" test "$status" = 0
check "the settings file is written" grep -qx "input=$work/home/" "$work/home/veldarin.ini"
cat "$work/output.txt"
[ -n "$main" ] || fail=1
exit $fail
