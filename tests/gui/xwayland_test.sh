#!/usr/bin/env bash
# Runs the program in a Wayland session as FLTK 1.4 users meet it: weston (its
# X11 backend, inside a private Xvfb, desktop shell) with XWayland, the program
# started with WAYLAND_DISPLAY and DISPLAY (XWayland's) set and no FLTK_BACKEND:
# it must choose to draw through XWayland by itself. Keys reach it the way a user's do: pressed on weston's
# window, passed on by weston. Checks that the window opens, that its start-up
# picture equals the X11 reference, that 20 presses of f print the first 20
# golden reports and that q ends the program with status 1.
#
# usage: xwayland_test.sh LATTICEVIEW
# Needs weston, Xwayland, Xvfb, xdotool, xwininfo and ImageMagick.
set -u
LATTICEVIEW=${1:?path of latticeview}
here=$(cd "$(dirname "$0")" && pwd)
GOLDEN="$here/../golden/probe_150.txt"
REFERENCE="$here/reference/startup.png"
TOLERANCE=3

WORK=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
. "$here/../../scripts/shell_helpers.sh"
fatal() {
    fail "$1"
    for log in weston.log stderr.txt; do
        [ -s "$WORK/$log" ] && { echo "$log:"; tail -n 20 "$WORK/$log"; }
    done
    finish
    exit 1
}

start_xvfb "$WORK" || fatal "Xvfb did not start"
pids+=("$XVFB_PID")
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

weston --backend=x11-backend.so --shell=desktop-shell.so --xwayland --socket=wayland-lv \
    --width=1024 --height=800 --idle-time=0 >"$WORK/weston.log" 2>&1 &
pids+=($!)
# weston names XWayland's display in its log once it listens there (it
# starts the server when the first client connects).
xwayland_display() { grep -o 'xserver listening on display :[0-9]*' "$WORK/weston.log" | head -n 1 | sed 's/.* //'; }
xwayland_listens() { [ -n "$(xwayland_display)" ]; }
wait_until 20 xwayland_listens || fatal "weston did not start XWayland"
XWAYLAND=$(xwayland_display)
WESTON_WINDOW=$(xwininfo -root -tree | awk '/Weston Compositor/ { print $1; exit }')
[ -n "$WESTON_WINDOW" ] || fatal "no weston window on the Xvfb"

env -u FLTK_BACKEND DISPLAY="$XWAYLAND" WAYLAND_DISPLAY=wayland-lv "$LATTICEVIEW" \
    >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" &
APP_PID=$!
pids+=("$APP_PID")
find_window() { WID=$(DISPLAY="$XWAYLAND" world_window); [ -n "$WID" ]; }
WID=
wait_until 20 find_window || fatal "no window titled World on XWayland"
# Where weston shows it: XWayland's screen is weston's output.
sleep 1
find_window
read -r X Y W H < <(DISPLAY="$XWAYLAND" xwininfo -id "$WID" |
    awk -F: '/Absolute upper-left X|Absolute upper-left Y|Width|Height/ { gsub(/ /, "", $2); printf "%s ", $2 }')
[ "${W}x${H}" = 800x600 ] || fatal "the window is ${W}x${H}, not 800x600"
[ $((X + W)) -le 1024 ] && [ $((Y + H)) -le 800 ] || fatal "the window at ($X, $Y) is not wholly on the output"

# The pointer to the output's corner, away from the window; then the window's
# part of the output, once two captures agree.
xdotool mousemove --window "$WESTON_WINDOW" 1023 799
matches_reference() {
    local differing
    stable_shot "$WESTON_WINDOW" "${W}x${H}+${X}+${Y}" "$WORK/shot" || { echo "  no stable picture"; return 1; }
    differing=$(differing_pixels "$WORK/shot.png" "$REFERENCE" "$TOLERANCE" | wc -l)
    [ "$differing" -eq 0 ] || { echo "  $differing pixels differ"; return 1; }
}
check "through XWayland, the start-up picture equals the X11 reference" matches_reference

# Keys go to weston's window, which passes them to the focused client.
xdotool windowfocus "$WESTON_WINDOW"
keys=()
for _ in $(seq 20); do keys+=(f); done
xdotool key --delay 30 "${keys[@]}"
reports_reached() { [ "$(grep -c '^Lattice 9: ' "$WORK/stdout.txt")" -ge 20 ]; }
wait_until 20 reports_reached
check "20 presses of f print the first 20 golden reports" \
    cmp -s "$WORK/stdout.txt" <(head -n 220 "$GOLDEN")
xdotool key q
exited() { ! kill -0 "$APP_PID" 2>/dev/null; }
if wait_until 10 exited; then
    wait "$APP_PID"
    status=$?
    check "q ends the program with status 1 (got $status)" [ "$status" -eq 1 ]
else
    check "q ends the program" false
fi
[ -s "$WORK/stderr.txt" ] && { echo "program's standard error:"; cat "$WORK/stderr.txt"; }
finish
