# Sourced by the scripts and by the shell tests (never the other way round):
# counted checks with one summary, bounded waits, a private X server, and
# stable pictures of a window compared pixel by pixel.
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
