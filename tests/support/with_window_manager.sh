#!/bin/sh
# with_window_manager.sh PROGRAM [ARGS...]: runs a test program on a virtual X display of its
# own with a window manager (openbox), so that its windows get real frames (title bar and
# borders) as on a desktop. Listing the tests needs no display. When no display or window
# manager can run here, the program runs offscreen and WAVELATHE_NO_WINDOW_MANAGER says why, so
# that its tests skip with that reason.
set -u
for arg in "$@"; do
  [ "$arg" = "--gtest_list_tests" ] && exec "$@"
done

run_offscreen() {
  reason=$1
  shift
  WAVELATHE_NO_WINDOW_MANAGER="$reason" QT_QPA_PLATFORM=offscreen exec "$@"
}

command -v Xvfb >/dev/null 2>&1 || run_offscreen "Xvfb is not installed" "$@"
command -v openbox >/dev/null 2>&1 || run_offscreen "openbox is not installed" "$@"
command -v xprop >/dev/null 2>&1 || run_offscreen "xprop is not installed" "$@"

work=$(mktemp -d)
xvfb_pid=
wm_pid=
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

# Xvfb picks a free display number and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
tries=0
while [ ! -s "$work/display" ] && [ $tries -lt 600 ]; do sleep 0.05; tries=$((tries + 1)); done
if [ ! -s "$work/display" ]; then
  reason="Xvfb did not start: $(tail -n 1 "$work/xvfb.log")"
  cleanup; trap - EXIT
  run_offscreen "$reason" "$@"
fi
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY

# Openbox runs its --startup command once it manages windows; a window mapped before then may
# be left unmanaged.
openbox --sm-disable --startup "touch $work/ready" >"$work/wm.log" 2>&1 &
wm_pid=$!
tries=0
until [ -e "$work/ready" ]; do
  tries=$((tries + 1))
  if [ $tries -ge 600 ] || ! kill -0 "$wm_pid" 2>/dev/null; then
    reason="openbox did not start: $(tail -n 1 "$work/wm.log")"
    cleanup; trap - EXIT
    run_offscreen "$reason" "$@"
  fi
  sleep 0.05
done

QT_QPA_PLATFORM=xcb "$@"
status=$?
exit $status
