#!/usr/bin/env bash
# Runs the real program in a private Xvfb server and checks what a user sees and
# what it prints: the window, the keys, the start-up picture, and mouse drags.
#
# usage: latticeview_gui_test.sh LATTICEVIEW LBM_TRACE WM_CLOSE [STARTUP_PNG]
#   LATTICEVIEW  the program under test
#   LBM_TRACE    prints the probe reports of N steps from start-up
#   WM_CLOSE     closes a window as a window manager does
#   STARTUP_PNG  optional: where to save the start-up picture (the window only)
#
# Environment:
#   LATTICEVIEW_LAYERS2  the same program built with two layers (its picture is
#                        compared with a reference too)
#   LATTICE_PIXEL        tests/gui/lattice_pixel: where the program puts a point
#   LBM_GUI_RECORD       optional: a directory; the pictures compared with the
#                        references in tests/gui/reference are written there
#                        instead of being compared (to record new references)
#
# Needs Xvfb, xdotool, ImageMagick (import, convert), xwininfo/xdpyinfo/xev/xprop and
# glxinfo.
set -u

LATTICEVIEW=${1:?path of latticeview}
LBM_TRACE=${2:?path of lbm_trace}
LATTICE_PIXEL=${LATTICE_PIXEL:?path of lattice_pixel (environment)}
WM_CLOSE=${3:?path of wm_close}
STARTUP_PNG=${4:-}

STEPS=60            # f presses; the first non-zero probe value appears at step 46
TOLERANCE=3         # per colour channel, for the software renderer's rounding
LATTICEVIEW_LAYERS2=${LATTICEVIEW_LAYERS2:-}
RECORD=${LBM_GUI_RECORD:-}
REFERENCE_DIR=$(cd "$(dirname "$0")" && pwd)/reference
. "$(dirname "$0")/../../scripts/shell_helpers.sh"

for tool in Xvfb xdotool xdpyinfo xwininfo xev xprop glxinfo "$IMPORT" "$CONVERT"; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool"; exit 1; }
done

WORK=$(mktemp -d)
XVFB_PID=
APP_PID=
XEV_PID=
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
    [ -n "$XEV_PID" ] && kill "$XEV_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

fatal() {
    fail "$1"
    echo "display: ${DISPLAY:-none}"
    [ -s "$WORK/xvfb.log" ] && { echo "X server's log:"; cat "$WORK/xvfb.log"; }
    [ -s "$WORK/stderr.txt" ] && { echo "program's standard error:"; cat "$WORK/stderr.txt"; }
    finish
    exit 1
}

# ---------------------------------------------------------------- X server
start_xvfb "$WORK" || { cat "$WORK/xvfb.log"; fatal "could not start Xvfb"; }
export LIBGL_ALWAYS_SOFTWARE=1

OUT="$WORK/stdout.txt"
"$LATTICEVIEW" >"$OUT" 2>"$WORK/stderr.txt" &
APP_PID=$!

find_window() { WID=$(world_window); [ -n "$WID" ]; }
running() { kill -0 "$APP_PID" 2>/dev/null; }
window_or_ended() { find_window || ! running; }
WID=
wait_until 20 window_or_ended
find_window || fatal "no window titled World appeared (program running: $(running && echo yes || echo no))"

# ---------------------------------------------------------------- window
geometry=$(xwininfo -id "$WID")
field() { echo "$geometry" | awk -F: -v k="$1" '$1 ~ k { gsub(/ /, "", $2); print $2 }'; }
WIN_X=$(field 'Absolute upper-left X')
WIN_Y=$(field 'Absolute upper-left Y')
W=$(field 'Width')
H=$(field 'Height')
check "window titled World" [ "$(xdotool getwindowname "$WID")" = "World" ]
check "window is 800 x 600 (got ${W} x ${H})" [ "${W}x${H}" = 800x600 ]
check "window at (100, 100) (got ($WIN_X, $WIN_Y))" [ "$WIN_X,$WIN_Y" = 100,100 ]
[ "${W}x${H}" = 800x600 ] || fatal "cannot analyse pictures of a window of the wrong size"

# ---------------------------------------------------------------- pictures
# shot NAME: the window's stable picture, as NAME.png and NAME.rgb.
shot() { stable_shot root "${W}x${H}+${WIN_X}+${WIN_Y}" "$WORK/$1"; }
same_picture() { cmp -s "$WORK/$1.rgb" "$WORK/$2.rgb"; }

# lit_pixels NAME: "x y r g b" for every pixel that is not black.
lit_pixels() {
    "$CONVERT" "$WORK/$1.png" -depth 8 txt:- |
        awk 'NR > 1 && $3 != "#000000" {
                 split($1, p, /[,:]/); c = $2; gsub(/[()]/, "", c); split(c, v, ",")
                 print p[1], p[2], v[1], v[2], v[3] }'
}

# Colours, lit: the points carry no normal, so they use the default (0, 0, 1);
# the light is directional from (1, 1, 1), fixed in the world; the global
# ambient is 0.2 and the light's own ambient and specular are 0. Colour
# material makes the point's colour its ambient and diffuse reflectance:
#   lit = colour * (0.2 + N.L) = colour * (0.2 + 1/sqrt(3))
LIT=$(awk 'BEGIN { printf "%.9f", 0.2 + 1 / sqrt(3) }')
channel() { awk -v c="$1" -v f="$LIT" 'BEGIN { printf "%d", int(255 * c * f + 0.5) }'; }
BLUE_R=$(channel 0.1); BLUE_G=$(channel 0.6); BLUE_B=$(channel 1.0)
GREEN_G=$(channel 0.42)   # the source's intensity is its green component

# project U V: window pixel "x y" (y down from the window's top) of the point
# (0, U, V) of layer 0 with the start-up camera, as the program's own matrices
# place it (lattice_pixel).
project() { "$LATTICE_PIXEL" "$W" "$H" "$1" "$2"; }

near() {  # near R G B R0 G0 B0
    local d
    for d in $(($1 - $4)) $(($2 - $5)) $(($3 - $6)); do
        [ "${d#-}" -le "$TOLERANCE" ] || return 1
    done
}
count_colour() {  # count_colour NAME R G B
    lit_pixels "$1" | awk -v r="$2" -v g="$3" -v b="$4" -v t="$TOLERANCE" '
        function a(x) { return x < 0 ? -x : x }
        a($3 - r) <= t && a($4 - g) <= t && a($5 - b) <= t { n++ } END { print n + 0 }'
}
count_green() {  # pixels with a green component only
    lit_pixels "$1" | awk -v t="$TOLERANCE" '$3 <= t && $5 <= t && $4 > t { n++ } END { print n + 0 }'
}
pixel() { lit_pixels "$1" | awk -v x="$2" -v y="$3" '$1 == x && $2 == y { print $3, $4, $5 }'; }

# matches_reference NAME: the picture NAME (taken by shot) has the pixels of
# reference/NAME.png, recorded from the program under Mesa's software
# renderer: every lit pixel in its place, each colour channel within TOLERANCE
# (another Mesa may round the lit colours a unit or two differently; a point
# moved or missing differs by far more). Lists the first differing pixels.
# With LBM_GUI_RECORD set, stores the picture as the new reference instead.
matches_reference() {
    local reference="$REFERENCE_DIR/$1.png" size differing
    if [ -n "$RECORD" ]; then
        "$CONVERT" "$WORK/$1.png" -strip "$RECORD/$1.png" && echo "  recorded $RECORD/$1.png"
        return
    fi
    [ -f "$reference" ] || { echo "  no reference picture $reference"; return 1; }
    size=$("$CONVERT" "$reference" -format '%wx%h' info:)
    [ "$size" = "${W}x${H}" ] || { echo "  reference is $size"; return 1; }
    differing_pixels "$WORK/$1.png" "$reference" "$TOLERANCE" >"$WORK/$1.diff"
    differing=$(wc -l <"$WORK/$1.diff")
    [ "$differing" -eq 0 ] && return 0
    echo "  $differing pixels differ from $reference; the first (x y: now / reference):"
    local x y
    head -n 10 "$WORK/$1.diff" | while read -r x y; do
        echo "  $x $y: $("$CONVERT" "$WORK/$1.png" -format "%[pixel:p{$x,$y}]" info:) /" \
             "$("$CONVERT" "$reference" -format "%[pixel:p{$x,$y}]" info:)"
    done
    return 1
}

# ---------------------------------------------------------------- start-up picture
shot startup || fatal "no stable picture of the window"
[ -n "$STARTUP_PNG" ] && cp "$WORK/startup.png" "$STARTUP_PNG"

blue=$(count_colour startup "$BLUE_R" "$BLUE_G" "$BLUE_B")
check "2499 light-blue points ($BLUE_R,$BLUE_G,$BLUE_B) at start-up (got $blue)" [ "$blue" -eq 2499 ]
lit=$(lit_pixels startup | wc -l)
check "nothing else lit but 2499 + 9 pixels (got $lit)" [ "$lit" -eq 2508 ]

# The source, column 49 and row 49: u = v = -25 + 49 = 24. A point of size 3
# (odd) covers the 3 x 3 pixels centred on the pixel holding the vertex.
read -r SX SY < <(project 24 24)
green_block_ok() {
    local dx dy rgb
    for dy in -1 0 1; do
        for dx in -1 0 1; do
            rgb=$(pixel startup $((SX + dx)) $((SY + dy)))
            [ -n "$rgb" ] || { echo "  pixel ($((SX + dx)), $((SY + dy))) is black"; return 1; }
            # shellcheck disable=SC2086
            near $rgb 0 "$GREEN_G" 0 || { echo "  pixel ($((SX + dx)), $((SY + dy))) is $rgb"; return 1; }
        done
    done
}
check "green 3x3 point (0,$GREEN_G,0) centred at window pixel ($SX, $SY)" green_block_ok
green=$(count_green startup)
check "exactly 9 green pixels at start-up (got $green)" [ "$green" -eq 9 ]
check "start-up picture equals the reference" matches_reference startup

# Orientation: column 0 lies on the right, row 0 at the bottom.
corner_is_blue() {  # corner_is_blue U V
    local x y rgb
    read -r x y < <(project "$1" "$2")
    rgb=$(pixel startup "$x" "$y")
    # shellcheck disable=SC2086
    [ -n "$rgb" ] && near $rgb "$BLUE_R" "$BLUE_G" "$BLUE_B"
}
check "light-blue point of column 0, row 0 at window pixel $(project -25 -25 | tr ' ' ,)" corner_is_blue -25 -25
check "light-blue point of column 49, row 0 at window pixel $(project 24 -25 | tr ' ' ,)" corner_is_blue 24 -25
check "light-blue point of column 0, row 49 at window pixel $(project -25 24 | tr ' ' ,)" corner_is_blue -25 24

# ---------------------------------------------------------------- mouse
xdotool mousemove --window "$WID" 400 300
sleep 0.1
xdotool mousedown 1
sleep 0.2
xdotool mouseup 1
sleep 0.2
shot click || fatal "no stable picture after a click"
check "a push and release without motion leaves the picture unchanged" same_picture startup click

# A left drag orbits, here by -27 degrees of azimuth and -3 of elevation,
# which keeps the whole lattice in view. The points carry the default normal
# and the light is fixed in the world, so they keep their lit colours from the
# new angle. Moving back to the press point before the release restores the
# camera of the push.
xdotool mousedown 1
sleep 0.1
xdotool mousemove --window "$WID" 460 320
sleep 0.3
shot dragged || fatal "no stable picture during a drag"
check "a left drag changes the picture" eval '! same_picture startup dragged'
blue=$(count_colour dragged "$BLUE_R" "$BLUE_G" "$BLUE_B")
check "after orbiting still 2499 light-blue points in the same colour (got $blue)" [ "$blue" -eq 2499 ]
green=$(count_colour dragged 0 "$GREEN_G" 0)
check "after orbiting still 9 green pixels in the same colour (got $green)" [ "$green" -eq 9 ]
check "picture after orbiting equals the reference" matches_reference dragged
xdotool mousemove --window "$WID" 400 300
sleep 0.3
xdotool mouseup 1
sleep 0.2
shot restored || fatal "no stable picture after the drag"
check "dragging back to the press point restores the picture" same_picture startup restored

# Resized to 640 x 480, the window draws at its new size and drags in it: the
# same left drag, scaled, from the start-up camera. The browser page, at a
# canvas of that size, is compared with this picture too.
resized_drag() {
    local W=640 H=480
    xdotool windowsize --sync "$WID" "$W" "$H" 2>/dev/null || xdotool windowsize "$WID" "$W" "$H"
    sleep 0.3
    xdotool mousemove --window "$WID" 320 240
    sleep 0.1
    xdotool mousedown 1
    sleep 0.1
    xdotool mousemove --window "$WID" 380 260
    sleep 0.3
    shot resized || { echo "  no stable picture"; return 1; }
    xdotool mousemove --window "$WID" 320 240
    sleep 0.3
    xdotool mouseup 1
    matches_reference resized
}
check "resized to 640 x 480 and dragged: picture equals the reference" resized_drag
xdotool windowsize --sync "$WID" "$W" "$H" 2>/dev/null || xdotool windowsize "$WID" "$W" "$H"
sleep 0.3
shot restored || fatal "no stable picture after resizing back"
check "resized back to $W x $H, the start-up picture" same_picture startup restored

# ---------------------------------------------------------------- keys without effect
xdotool windowfocus --sync "$WID" 2>/dev/null || xdotool windowfocus "$WID"
xdotool key --delay 50 Escape a space Return Tab Left F1 x
sleep 0.5
check "Escape and other keys leave the program running" running
check "Escape and other keys leave the window open" find_window
check "Escape and other keys print nothing" [ ! -s "$OUT" ]

# ---------------------------------------------------------------- f: time steps
"$LBM_TRACE" "$STEPS" >"$WORK/expected.txt" || fatal "lbm_trace failed"
reports() { grep -c '^Lattice 9: ' "$OUT"; }
reports_reached() { [ "$(reports)" -ge "$STEPS" ]; }
# Shift+F and Ctrl+F run a step too: the toolkit reports letter keys in lower
# case, and the modifiers are not looked at.
keys=(shift+f ctrl+f)
for ((i = 2; i < STEPS; i++)); do keys+=(f); done
xdotool windowfocus "$WID" 2>/dev/null
xdotool key --delay 20 "${keys[@]}"
wait_until 30 reports_reached
sleep 0.3
check "$STEPS presses of f print $STEPS reports (got $(reports))" [ "$(reports)" -eq "$STEPS" ]
check "the reports equal lbm_trace $STEPS byte for byte" cmp -s "$OUT" "$WORK/expected.txt"

shot stepped || fatal "no stable picture after the steps"
green=$(count_green stepped)
check "after $STEPS steps more green pixels show (got $green, 9 at start-up)" [ "$green" -gt 9 ]
check "picture after $STEPS steps equals the reference" matches_reference stepped

# Zoomed out with the middle button until the points nearly touch: two drags
# down, by 900 and 686 pixels, multiply the distance by 1.75 and about 1.57,
# to 275; the cells are then about 3.5 pixels apart.
zoom_out() {  # zoom_out PIXELS
    xdotool mousemove --window "$WID" 400 0
    sleep 0.1
    xdotool mousedown 2
    sleep 0.1
    xdotool mousemove --window "$WID" 400 "$1"
    sleep 0.3
    xdotool mouseup 2
    sleep 0.1
}
zoom_out 900
zoom_out 686
shot zoomed || fatal "no stable picture after zooming out"
check "zooming out changes the picture" eval '! same_picture stepped zoomed'
check "zoomed-out picture equals the reference" matches_reference zoomed

# Far out and seen from 0.45 degrees below: two more zoom drags take the
# distance to 842, where the lattice is about 40 pixels wide and neighbouring
# points overlap at nearly equal depths. Which point keeps a pixel depends on
# the order of the points and on the exact depth of each; the picture is
# compared below with that of the same view drawn by single GL calls.
tilt() {  # tilt PIXELS: a left drag upward by PIXELS (downward if negative)
    xdotool mousemove --window "$WID" 400 300
    sleep 0.1
    xdotool mousedown 1
    sleep 0.1
    xdotool mousemove --window "$WID" 400 $((300 - $1))
    sleep 0.3
    xdotool mouseup 1
    sleep 0.1
}
far_view() {  # far_view NAME: from a distance of 275
    tilt -3
    zoom_out 900
    zoom_out 900
    shot "$1"
}
far_view far || fatal "no stable picture from far out"

# ---------------------------------------------------------------- q
xdotool windowfocus "$WID" 2>/dev/null
xdotool key q
exited() { ! running; }
if wait_until 10 exited; then
    wait "$APP_PID"
    status=$?
    APP_PID=
    check "q ends the program with status 1 (got $status)" [ "$status" -eq 1 ]
else
    fail "q ends the program"
fi
check "after q the output holds all $STEPS reports and nothing more" cmp -s "$OUT" "$WORK/expected.txt"

# Two layers, after the same steps, from the start-up camera: the second layer
# shows one unit behind the first.
if [ -n "$APP_PID" ]; then  # the first program did not end on q
    kill "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
    APP_PID=
fi
no_window() { ! find_window; }
# start_program NAME PROGRAM [ENV...]: once the window of the run before is
# gone, starts PROGRAM with the environment ENV (NAME=VALUE words), its output
# in NAME.out, and waits for its window in the start-up place and size.
start_program() {
    local name=$1 program=$2
    shift 2
    [ -n "$program" ] || { echo "  no program given"; return 1; }
    wait_until 10 no_window || { echo "  the window of the run before is still there"; return 1; }
    OUT="$WORK/$name.out"
    env "$@" "$program" >"$OUT" 2>"$WORK/$name.err" &
    APP_PID=$!
    wait_until 20 window_or_ended && find_window || { echo "  no window"; return 1; }
    geometry=$(xwininfo -id "$WID")
    local placed
    placed="$(field 'Absolute upper-left X'),$(field 'Absolute upper-left Y') $(field 'Width')x$(field 'Height')"
    [ "$placed" = "$WIN_X,$WIN_Y ${W}x${H}" ] || { echo "  window at $placed"; return 1; }
    xdotool windowfocus --sync "$WID" 2>/dev/null || xdotool windowfocus "$WID"
}
# run_steps: presses f STEPS times and waits for the reports.
run_steps() {
    xdotool key --delay 20 "${keys[@]}"
    wait_until 30 reports_reached || { echo "  $(reports) reports"; return 1; }
    sleep 0.3
}
# stop_program NAME: ends the program and shows what it wrote on standard error.
stop_program() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
    APP_PID=
    [ -s "$WORK/$1.err" ] && { echo "standard error of $1:"; cat "$WORK/$1.err"; }
    return 0
}
layers2_picture() {
    start_program layers2 "$LATTICEVIEW_LAYERS2" || return 1
    run_steps || return 1
    shot layers2 || { echo "  no stable picture"; return 1; }
    matches_reference layers2
}
check "two layers after $STEPS steps: picture equals the reference" layers2_picture
if [ -n "$APP_PID" ]; then
    zoom_out 900
    zoom_out 686
    far_view far2 || fail "two layers: a stable picture from far out"
fi
stop_program layers2

# ---------------------------------------------------------------- single calls
# A context without shaders (indirect GLX offers OpenGL 1.4) draws every point
# with calls of its own, in the order that the one draw call of a context with
# shaders keeps: the pictures are the same. Mesa offers OpenGL 1.4 when
# MESA_GL_VERSION_OVERRIDE=1.4.
OLD_GL=MESA_GL_VERSION_OVERRIDE=1.4
gl_version() { env "$@" glxinfo -B 2>/dev/null | sed -n 's/^OpenGL version string: \([0-9.]*\).*/\1/p'; }
version=$(gl_version "$OLD_GL")
check "with $OLD_GL Mesa offers OpenGL 1.4 (got ${version:-none}; without it $(gl_version))" [ "$version" = 1.4 ]
single_calls() {
    start_program single "$LATTICEVIEW" "$OLD_GL" || return 1
    shot startup || { echo "  no stable picture"; return 1; }
    matches_reference startup || return 1
    run_steps || return 1
    cmp -s "$OUT" "$WORK/expected.txt" || { echo "  the reports differ from lbm_trace's"; return 1; }
    shot stepped || { echo "  no stable picture after the steps"; return 1; }
    matches_reference stepped || return 1
    zoom_out 900
    zoom_out 686
    shot zoomed || { echo "  no stable picture zoomed out"; return 1; }
    matches_reference zoomed || return 1
    far_view far_single || { echo "  no stable picture from far out"; return 1; }
    same_picture far far_single || { echo "  far out: $(differing_pixels "$WORK/far.png" "$WORK/far_single.png" 0 | wc -l) pixels differ"; return 1; }
}
check "single calls: start-up, after $STEPS steps and zoomed out as the references, far out as one draw call" \
    single_calls
# Ctrl+Q quits as q does.
if [ -n "$APP_PID" ] && running; then
    xdotool windowfocus "$WID" 2>/dev/null
    xdotool key ctrl+q
    if wait_until 10 exited; then
        wait "$APP_PID"
        status=$?
        APP_PID=
        check "Ctrl+Q ends the program with status 1 (got $status)" [ "$status" -eq 1 ]
    else
        fail "Ctrl+Q ends the program"
    fi
fi
stop_program single
single_calls_layers2() {
    start_program single2 "$LATTICEVIEW_LAYERS2" "$OLD_GL" || return 1
    run_steps || return 1
    shot layers2 || { echo "  no stable picture"; return 1; }
    matches_reference layers2 || return 1
    zoom_out 900
    zoom_out 686
    far_view far2_single || { echo "  no stable picture from far out"; return 1; }
    same_picture far2 far2_single || { echo "  far out: $(differing_pixels "$WORK/far2.png" "$WORK/far2_single.png" 0 | wc -l) pixels differ"; return 1; }
}
check "single calls, two layers: after $STEPS steps as the reference, far out as one draw call" single_calls_layers2
stop_program single2

if [ -s "$WORK/stderr.txt" ]; then
    echo "program's standard error:"; cat "$WORK/stderr.txt"
fi
# Otherwise the pictures above could all be of single calls.
check "the program drew with its shaders: nothing said about them" eval '! grep -q "point shaders" "$WORK/stderr.txt"'

# ---------------------------------------------------------------- hostile start-up
# Each run below waits for the window of the run before it to be gone.
# close_and_wait NAME: closes the window as a window manager does and waits
# for the program to end; sets status (or fails when it does not end).
close_and_wait() {
    "$WM_CLOSE" "$WID"
    if wait_until 10 exited; then
        wait "$APP_PID"
        status=$?
        APP_PID=
        return 0
    fi
    fail "$1: the program ends when its window is closed"
    kill "$APP_PID" 2>/dev/null
    APP_PID=
    return 1
}

# Standard output closed, as some launchers start programs, the display given
# by -display alone, and a window wider than the program serves.
wait_until 10 no_window || fatal "the window of the first run did not go away"
# The sizes X windows are created with, as the root window reports them; the
# listener is ready once it reports a probe window of its own.
xev -root -event substructure >"$WORK/created.txt" 2>&1 &
XEV_PID=$!
listening() {
    xev -name probe >/dev/null 2>&1 & sleep 0.2; kill $! 2>/dev/null; wait $! 2>/dev/null
    grep -q CreateNotify "$WORK/created.txt"
}
wait_until 10 listening || fatal "xev did not report the windows created"
env -u DISPLAY "$LATTICEVIEW" -display "$DISPLAY" -geometry 20000x60 >&- 2>"$WORK/closed.txt" &
APP_PID=$!
wait_until 20 window_or_ended
find_window || fatal "no window on the display that -display named (program running: $(running && echo yes || echo no))"
window_size() { xwininfo -id "$WID" | awk -F: '$1 ~ /Width|Height/ { gsub(/ /, "", $2); printf "%s ", $2 }'; }
size=$(window_size)
check "-geometry 20000x60 gives a window of 16384 x 60 (got $size)" [ "$size" = "16384 60 " ]
created=$(awk '/^CreateNotify/ { getline; if (match($0, /width [0-9]+, height 60/)) printf "%s ", substr($0, RSTART, RLENGTH) }' \
    "$WORK/created.txt")
check "-geometry 20000x60: the X window is created 16384 wide (created: $created)" [ "$created" = "width 16384, height 60 " ]
kill "$XEV_PID" 2>/dev/null
XEV_PID=
xdotool windowfocus "$WID" 2>/dev/null
xdotool key --window "$WID" --delay 50 f f f
# Another client makes the window larger still: it is sent back.
xdotool windowsize "$WID" 30000 70
size_is() { [ "$(window_size)" = "$1" ]; }
wait_until 5 size_is "16384 70 "
check "a window resized to 30000 x 70 by another client returns to 16384 x 70 (got $(window_size))" \
    size_is "16384 70 "
if close_and_wait "standard output closed"; then
    check "standard output closed: f keeps the program responsive, closing ends it with status 0 (got $status)" \
        [ "$status" -eq 0 ]
fi
check "standard output closed: nothing on standard error" [ ! -s "$WORK/closed.txt" ]

# Standard output on a full disk: the loss is said once, and the run does not
# end with success. The window's class name is the longest the toolkit takes.
wait_until 10 no_window || fatal "the window of the closed-output run did not go away"
CLASS_511=$(printf 'c%.0s' $(seq 511))
"$LATTICEVIEW" -name "$CLASS_511" >/dev/full 2>"$WORK/full.txt" &
APP_PID=$!
wait_until 20 window_or_ended
find_window || fatal "no window with standard output on /dev/full"
class_511() { xprop -id "$WID" WM_CLASS | grep -q "= \"$CLASS_511\", "; }
check "-name with 511 bytes: the window's class" class_511
xdotool windowfocus "$WID" 2>/dev/null
xdotool key --window "$WID" --delay 50 f f f
said() { grep -q 'No space left on device' "$WORK/full.txt"; }
wait_until 10 said
sleep 0.3
check "full disk: three lost reports are said once, with the program's name and the reason ($(head -c 200 "$WORK/full.txt"))" \
    [ "$(grep -c '^latticeview: .*No space left on device' "$WORK/full.txt")" -eq 1 -a "$(wc -l <"$WORK/full.txt")" -eq 1 ]
if close_and_wait "full disk"; then
    check "full disk: closing the window ends the program with status 1 (got $status)" [ "$status" -eq 1 ]
fi

# The same with standard error closed: the loss is said on /dev/null, not into
# the X connection (which would take descriptor 2 and stop answering).
wait_until 10 no_window || fatal "the window of the full-disk run did not go away"
"$LATTICEVIEW" >/dev/full 2>&- &
APP_PID=$!
wait_until 20 window_or_ended
find_window || fatal "no window with standard error closed"
xdotool windowfocus "$WID" 2>/dev/null
xdotool key --window "$WID" --delay 50 f f f
sleep 0.3
if close_and_wait "full disk, standard error closed"; then
    check "full disk, standard error closed: closing the window ends the program with status 1 (got $status)" \
        [ "$status" -eq 1 ]
fi

# The toolkit's messages are the program's too: each line after its name,
# with the control characters of an argument, line ends included, shown as
# escapes; the toolkit's options listed one a line.
env -u WAYLAND_DISPLAY "$LATTICEVIEW" -display $'\e[31mX\nok' -unknown >/dev/null 2>"$WORK/display.txt"
status=$?
check "a display that cannot be opened: status 1 (got $status), said after the program's name, its control characters as escapes ($(grep -v '^latticeview:  -' "$WORK/display.txt" | head -c 300))" \
    eval '[ "$status" -eq 1 ] && grep -q "^latticeview: .*\\\\033\[31mX\\\\nok" "$WORK/display.txt" && ! LC_ALL=C grep -q "[[:cntrl:]]" "$WORK/display.txt"'
check "an unknown option: every line of standard error after the program's name, the toolkit's 15 options one a line" \
    eval '! grep -qv "^latticeview: " "$WORK/display.txt" && [ "$(grep -c "^latticeview:  -" "$WORK/display.txt")" -eq 15 ]'

# A class name of 512 bytes or more, which the toolkit's X11 code would copy
# past the end of a buffer, is refused before anything is shown.
env -u WAYLAND_DISPLAY "$LATTICEVIEW" -na "$(printf 'c%.0s' $(seq 20000))" >/dev/null 2>"$WORK/class.txt"
status=$?
check "-na with 20,000 bytes: status 2 (got $status), said in one line ($(head -c 200 "$WORK/class.txt"))" \
    eval '[ "$status" -eq 2 ] && [ "$(wc -l <"$WORK/class.txt")" -eq 1 ] && grep -q "^latticeview: .* 20000 bytes long" "$WORK/class.txt"'

[ -n "$RECORD" ] && echo "recorded the pictures in $RECORD: the references were not compared"
finish
