#!/usr/bin/env bash
# The interactive program on a virtual X server, worked with the keyboard: the first paint's
# box closes with Enter, Esc and q leave the main window open, the "Edit" popup opens without
# the items it removes, and "Quit program" ends the program, which writes its settings file.
# Usage: display_interaction.sh VELDARIN WORK_DIR. Exit 77 (skipped) without the X tools.
set -euo pipefail
program=$1
work=$2

if [ "${VELDARIN_SMOKE_INNER:-}" != 1 ]; then
  for tool in xvfb-run xauth xwd convert xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  rm -rf "$work" && mkdir -p "$work/home"
  VELDARIN_SMOKE_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$(readlink -f "$0")" "$program" "$work"
fi

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
xdotool key alt+e
settle
xwd -root -silent | convert xwd:- "$work/edit.png"
convert "$work/edit.png" -crop 1x700+100+30 +repage txt:"$work/column.txt"
bottom=$(awk -F'[,:]' 'NR > 1 && /#FFFFFF/ { print $2 + 30; exit }' "$work/column.txt")
height=$(( ${bottom:-0} - 25 ))
check "the Edit popup is 11 items high ($height px)" test "$height" -gt 150 -a "$height" -lt 300
xdotool key Escape
settle

xdotool key alt+q
settle
xdotool key Down Return
for _ in $(seq 1 50); do alive || break; sleep 0.2; done
check "Quit program ends the program" bash -c "! kill -0 $pid 2>/dev/null"
alive && kill "$pid"
status=0
wait "$pid" || status=$?
check "the program ends with status 0 ($status)" test "$status" = 0
check "the settings file is written" grep -qx "input=$work/home/" "$work/home/veldarin.ini"
cat "$work/output.txt"
[ -n "$main" ] || fail=1
exit $fail
