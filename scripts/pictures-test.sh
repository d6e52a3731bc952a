#!/usr/bin/env bash
# CI: what is made of lbm_trace's output with other programs, by the commands
# that docs/pictures.md gives: the films of its frames (Debian's ffmpeg; each
# checked with ffprobe: every frame, at the frames' size, an odd size padded
# to an even one for H.264) and the probe plot of the README
# (scripts/probe_plot.py with Debian's matplotlib). Builds lbm_trace alone in
# build/pictures.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}" ffmpeg python3-matplotlib || exit 1

build="$root/build/pictures"
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLBM_BUILD_VIEWER=OFF -DLBM_BUILD_TESTS=OFF \
        -DLBM_BUILD_BENCH=OFF >/dev/null && cmake --build "$build" --target lbm_trace -j "$(nproc)" >/dev/null; }; then
    fail "lbm_trace builds"
    finish
    exit 1
fi
trace=$build/trace/lbm_trace
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The page's film commands: one that writes film.mp4, one film.apng.
mapfile -t commands < <(grep '^ffmpeg .* film\.\(mp4\|apng\)$' "$root/docs/pictures.md")
check "docs/pictures.md gives two film commands (got ${#commands[@]})" [ "${#commands[@]}" -eq 2 ]

# video FILM: "codec width height frames" of its video stream.
video() {
    ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=codec_name,width,height,nb_read_frames -of csv=p=0 "$1" | tr ',' ' '
}
films() {  # films NAME FRAMES WIDTH HEIGHT EVEN_WIDTH EVEN_HEIGHT -- LBM_TRACE-ARGUMENTS...
    local name=$1 frames=$2 width=$3 height=$4 even_width=$5 even_height=$6 command film got
    shift 7
    mkdir "$work/$name"
    (cd "$work/$name" && "$trace" --pictures frames "$@" >/dev/null) || { fail "$name: lbm_trace --pictures"; return; }
    for command in "${commands[@]}"; do
        film=${command##* }
        (cd "$work/$name" && eval "ffmpeg -loglevel error ${command#ffmpeg }") || { fail "$name: $film is made"; continue; }
        got=$(video "$work/$name/$film")
        case $film in
            *.mp4) check "$name: $film has $frames frames, ${even_width} x ${even_height}, H.264 (got $got)" \
                       [ "$got" = "h264 $even_width $even_height $frames" ] ;;
            *) check "$name: $film has $frames frames, ${width} x ${height}, animated PNG (got $got)" \
                   [ "$got" = "apng $width $height $frames" ] ;;
        esac
    done
}
films twenty 20 800 600 800 600 -- 19
films odd 5 321 241 322 242 -- --size 321x241 --every 2 7

# The README's probe plot: a PNG of 800 x 600 pixels.
/usr/bin/python3 "$root/scripts/probe_plot.py" "$trace" "$work/probe_history.png" 150
status=$?
header=$(od -An -tx1 -j12 -N12 "$work/probe_history.png" 2>/dev/null | tr -d ' \n')
check "scripts/probe_plot.py: status 0 (got $status), a PNG of 800 x 600 pixels" \
    eval '[ "$status" -eq 0 ] && [ "$header" = 494844520000032000000258 ]'

finish
