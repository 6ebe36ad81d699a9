# Sourced by the display tests: a private virtual X server for the calling script.
#
# start_virtual_x WORK_DIR [WxH] starts Xvfb (a screen of 1280x1024 unless WxH is given) on a
# display it picks itself (no race with other servers starting at the same time), waits until it
# accepts clients, exports DISPLAY and stops the server when the script exits. Returns 77 (the
# tests' "skipped") when Xvfb is missing or does not come up.
start_virtual_x() {
  command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; return 77; }
  local number_file="$1/display-number"
  : >"$number_file"
  # -noreset: a client that only looks whether the display is there must not reset it.
  Xvfb -displayfd 3 -screen 0 "${2:-1280x1024}x24" -nolisten tcp -noreset 3>"$number_file" \
    2>"$1/xvfb.log" &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 1 100); do
    [ -s "$number_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$number_file" ]; then
    echo "SKIP: the virtual X server did not start"
    cat "$1/xvfb.log"
    return 77
  fi
  DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
  export DISPLAY
}

# screenshot_when_shown WORK_DIR OUTPUT PATTERN TENTHS COMMAND...: runs COMMAND (a program
# driving the window) in the background with its output in OUTPUT, waits up to TENTHS tenths of
# a second for a line matching PATTERN, lets the window settle, saves the X display as
# WORK_DIR/screen.png and waits for the command; shown_status is its exit status.
screenshot_when_shown() {
  local work=$1 out=$2 pattern=$3 tenths=$4
  shift 4
  "$@" >"$out" 2>&1 &
  local pid=$!
  for _ in $(seq 1 "$tenths"); do
    grep -q "$pattern" "$out" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  sleep 1.5
  xwd -root -silent >"$work/screen.xwd"
  convert "$work/screen.xwd" "$work/screen.png"
  shown_status=0
  wait "$pid" || shown_status=$?
}
