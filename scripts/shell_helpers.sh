# Sourced by the scripts and by the shell tests (never the other way round):
# counted checks with one summary, bounded waits, a private X server, the
# program's window found and driven through a run, and stable pictures of a
# window compared pixel by pixel.
#
# The one failure convention: every check ends in pass or fail, which print
# "ok: WHAT" or "FAILED: WHAT" and count it; finish prints the counts and the
# failures' names, and its status is the verdict (the script's exit status
# when it is the last command).

# Sourced a second time (packages.sh brings it along too), it keeps the counts.
if [ -z "${LBM_SHELL_HELPERS:-}" ]; then
    LBM_SHELL_HELPERS=1
    PASSED=0
    FAILED=0
    FAILURES=()
fi
pass() { echo "ok: $1"; PASSED=$((PASSED + 1)); }
fail() { echo "FAILED: $1"; FAILED=$((FAILED + 1)); FAILURES+=("$1"); }
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
# finish: the counts and what failed; false when anything failed.
finish() {
    echo "$PASSED passed, $FAILED failed"
    if [ "$FAILED" -ne 0 ]; then
        local failure
        for failure in "${FAILURES[@]}"; do echo "  failed: $failure"; done
        return 1
    fi
}

# wait_until SECONDS COMMAND...: polls COMMAND every 0.1 s; false on timeout.
wait_until() {
    local tries=$(($1 * 10)); shift
    while [ "$tries" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}

# ImageMagick's own programs, not another package's of the same name.
CONVERT=convert
[ -x /usr/bin/convert ] && CONVERT=/usr/bin/convert
IMPORT=import
[ -x /usr/bin/import ] && IMPORT=/usr/bin/import

# start_xvfb DIR: an Xvfb of the caller's own (its log in DIR/xvfb.log), on a
# display number the server picks itself (-displayfd), so that tests running
# side by side never share one. Sets XVFB_PID and exports DISPLAY once the
# server answers. -noreset: without it the server resets when its last client
# (the readiness probe) disconnects, and refuses connections meanwhile.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$1/display" >"$1/xvfb.log" 2>&1 &
    XVFB_PID=$!
    wait_until 10 test -s "$1/display" || return 1
    export DISPLAY=":$(head -n 1 "$1/display")"
    wait_until 10 xdpyinfo >/dev/null 2>&1
}

# world_window: the id of the program's window (titled World) on $DISPLAY, or
# nothing. Only a mapped window counts: an ended program's window may linger
# unmapped.
world_window() { xdotool search --onlyvisible --name '^World$' 2>/dev/null | head -n 1 || true; }

# drive_window DIR SECONDS STEPS COMMAND...: a run of the window as a user
# makes it, on an Xvfb of its own (start_xvfb DIR). Starts COMMAND (the
# program, or what builds and starts it), its standard output in DIR/out.txt
# and its standard error in DIR/err.txt; waits up to SECONDS for the window
# and for it to stay the same window (the toolkit may replace the window it
# mapped first), focuses it, presses f STEPS times, waits up to 30 s for STEPS
# probe reports, presses q and waits up to 10 s for COMMAND to end, killing
# it otherwise. Its status is COMMAND's (143 when it was killed, 125 when
# Xvfb did not start); DIR/drive.txt says in a line what happened. It runs in
# a subshell with a trap of its own: the Xvfb and COMMAND end with it,
# however it ends, and the caller's DISPLAY is left as it was.
drive_window() (
    set +e
    dir=$1 seconds=$2 steps=$3
    shift 3
    pid=
    trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null
          [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    if ! start_xvfb "$dir"; then
        echo "Xvfb did not start: $(tr '\n' ' ' <"$dir/xvfb.log")" >"$dir/drive.txt"
        exit 125
    fi
    "$@" >"$dir/out.txt" 2>"$dir/err.txt" &
    pid=$!
    running() { kill -0 "$pid" 2>/dev/null; }
    shown_or_ended() { [ -n "$(world_window)" ] || ! running; }
    same_window() {
        local first
        first=$(world_window)
        sleep 0.5
        [ -n "$first" ] && [ "$(world_window)" = "$first" ]
    }
    reports() { grep -c '^Lattice 9: ' "$dir/out.txt"; }
    reports_reached() { [ "$(reports)" -ge "$steps" ]; }
    ended() { ! running; }
    what=
    if wait_until "$seconds" shown_or_ended && wait_until 10 same_window; then
        window=$(world_window)
        xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
        keys=()
        for ((i = 0; i < steps; i++)); do keys+=(f); done
        [ "$steps" -gt 0 ] && xdotool key --delay 30 "${keys[@]}"
        wait_until 30 reports_reached
        what="window $window: $(reports) of $steps reports"
        xdotool key q
        wait_until 10 ended || what="$what; still running 10 s after q"
    else
        what="no window titled World within $seconds s ($(running && echo still running || echo ended))"
    fi
    running && kill "$pid" 2>/dev/null
    wait "$pid"
    status=$?
    pid=
    echo "$what; exit status $status" >"$dir/drive.txt"
    exit "$status"
)

# stable_shot WINDOW GEOMETRY OUT: the part GEOMETRY (WxH+X+Y) of the X window
# WINDOW ("root" for the screen) once two captures 0.15 s apart agree (the
# frame timer redraws every 25 ms). Writes OUT.png and OUT.rgb (raw pixels).
stable_shot() {
    local previous='' current tries=20
    while [ "$tries" -gt 0 ]; do
        "$IMPORT" -window "$1" "$3.whole.png" 2>/dev/null &&
            "$CONVERT" "$3.whole.png" -crop "$2" +repage -depth 8 "$3.png" &&
            "$CONVERT" "$3.png" -depth 8 "rgb:$3.rgb" || return 1
        current=$(md5sum <"$3.rgb")
        [ "$current" = "$previous" ] && return 0
        previous=$current
        sleep 0.15
        tries=$((tries - 1))
    done
    return 1
}

# differing_pixels PICTURE REFERENCE TOLERANCE: "x y" of every pixel where a
# colour channel differs by more than TOLERANCE.
differing_pixels() {
    "$CONVERT" "$1" "$2" -compose difference -composite -depth 8 txt:- |
        awk -v t="$3" 'NR > 1 {
                 split($1, p, /[,:]/); c = $2; gsub(/[()]/, "", c); split(c, v, ",")
                 if (v[1] > t || v[2] > t || v[3] > t) print p[1], p[2] }'
}
