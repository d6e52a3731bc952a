#!/usr/bin/env bash
# Debian 13 (trixie) as a new user meets it, in this order:
#   0. the base system: a minbase Debian 13 bootstrapped from the Debian
#      archive that this machine's apt uses, kept as a tarball in
#      LBM_DEBIAN13_CACHE (default /var/cache/latticeview-debian13) and made
#      anew when it is older than 30 days; unpacked into a chroot, with a clean
#      copy of the committed tree (HEAD) in /root/latticeview;
#   1. scripts/run.sh on the fresh system, shown on an Xvfb of this machine
#      (drive_window): 20 presses of f print the first 20 reports of the
#      golden text, q ends it;
#   2. scripts/test.sh, the README's test command (FLTK 1.3);
#   3. the Debian package, built with scripts/deb.sh, then installed, run from
#      its desktop entry's Exec line (drive_window) and removed in a second
#      fresh system (with the argument "package", steps 0 and 3 alone);
#   4. FLTK 1.4 in place of 1.3: g++ and g++ with the sanitizers, warnings as
#      errors, every test run, the program under Xvfb included;
#   5. the FLTK 1.4 program of step 4 in a Wayland session (weston with
#      XWayland), which it must draw in through XWayland
#      (tests/gui/xwayland_test.sh).
# Needs root (debootstrap, chroot, mount). Every system it made is taken down
# on the way out, whatever happens: what runs there ended, everything mounted
# there unmounted, and only then the directory removed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"

[ "$(id -u)" -eq 0 ] || { echo "debian13-test.sh needs root (debootstrap, chroot, mount)" >&2; exit 2; }
ensure_packages debootstrap debian-archive-keyring xvfb x11-utils xdotool
command -v git >/dev/null || ensure_packages git

SUITE=trixie
arch=$(dpkg --print-architecture)
cache=${LBM_DEBIAN13_CACHE:-/var/cache/latticeview-debian13}
tarball="$cache/$SUITE-minbase-$arch.tgz"
started=$SECONDS
phase() { echo "=== debian13 [$((SECONDS - started)) s]: $*"; }

# The Debian archive of this machine's apt sources: the first URI of a `deb`
# entry for this machine's own release (not its -updates or -security suites),
# from the deb822 files or from the one-line list.
debian_archive() {
    local codename file
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || return 1
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk -v suite="$codename" '
            function entry() {
                if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && enabled != "no" && uris != "") {
                    split(uris, u, " "); print u[1]; found = 1; exit
                }
                types = suites = uris = enabled = ""
            }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { entry(); next }
            /^[A-Za-z-]+:/ {
                key = tolower($1); sub(/:$/, "", key); $1 = ""; value = $0; gsub(/^[ \t]+|[ \t]+$/, "", value)
                if (key == "types") types = value; else if (key == "suites") suites = value
                else if (key == "uris") uris = value; else if (key == "enabled") enabled = tolower(value)
            }
            END { if (!found) entry() }' "$file"
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        # deb [options] URI SUITE COMPONENTS...
        sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$file" | awk -v suite="$codename" '$1 == "deb" && $3 == suite { print $2 }'
    done
}
archive=$(debian_archive | grep -E '^(https?|file):' | head -n 1 || true)
[ -n "$archive" ] || { echo "no Debian archive found in the apt sources of this machine" >&2; exit 1; }

# The systems this run made (the bootstrap's scratch directory, the test
# chroot, the package's second system), each added as soon as it is made.
systems=()
# Every mount point below a system's directory, deepest first.
mounts_below() {
    awk -v top="$1/" 'index($2, top) == 1 { print $2 }' /proc/mounts | sort -r
}
# take_down DIRECTORY: ends what runs in the chroot there (it was all started
# by this script), unmounts everything below it, and only then removes it;
# false, with the directory left in place, when something stays mounted.
take_down() {
    local dir=$1 pid mount tries
    for pid in /proc/[0-9]*; do
        [ "$(readlink "$pid/root" 2>/dev/null)" = "$dir" ] && kill -9 "${pid#/proc/}" 2>/dev/null
    done
    for tries in 1 2 3; do
        for mount in $(mounts_below "$dir"); do
            umount "$mount" 2>/dev/null || { [ "$tries" -eq 3 ] && umount -l "$mount"; }
        done
        [ -z "$(mounts_below "$dir")" ] && break
        sleep 1
    done
    if [ -n "$(mounts_below "$dir")" ]; then
        echo "still mounted below $dir, left in place:" >&2
        mounts_below "$dir" >&2
        return 1
    fi
    # Nothing is mounted below it any more; --one-file-system all the same.
    rm -rf --one-file-system "$dir" "$dir.pid" "$dir.log"
}
# cleanup: the exit trap; takes down every system of this run still there.
cleanup() {
    local status=$? dir
    trap - EXIT INT TERM
    set +e
    for dir in "${systems[@]}"; do
        [ -d "$dir" ] && { take_down "$dir" || status=1; }
    done
    phase "done, status $status"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A run ended by SIGKILL could not clean up: its chroot, whose .pid file
# names a process that is gone, is taken down now.
for pidfile in /var/tmp/latticeview-debian13.*.pid; do
    [ -f "$pidfile" ] || continue
    kill -0 "$(cat "$pidfile")" 2>/dev/null && continue
    echo "taking down ${pidfile%.pid}, left by an earlier run"
    take_down "${pidfile%.pid}" || true
done

# ---------------------------------------------------------------- base system
if [ -z "$(find "$tarball" -mtime -30 2>/dev/null)" ]; then
    phase "bootstrapping the base system from $archive into $tarball"
    mkdir -p "$cache"
    scratch=$(mktemp -d /var/tmp/latticeview-debian13-bootstrap.XXXXXX)
    systems+=("$scratch")
    debootstrap --variant=minbase --make-tarball="$scratch.tgz" "$SUITE" "$scratch/root" "$archive" >"$scratch/log" 2>&1 ||
        { tail -n 30 "$scratch/log"; rm -f "$scratch.tgz"; exit 1; }
    mv "$scratch.tgz" "$tarball"
    rm -rf --one-file-system "$scratch"
fi
# fresh_system DIR: a fresh Debian 13 in DIR (made by mktemp, its .pid file
# naming this run), unpacked from the base system, with /proc, /sys and /dev
# mounted and this machine's name servers; false, with the unpacking's log,
# when it cannot be made. /dev and /dev/pts are bind mounts of this machine's
# own: never removed recursively, only unmounted (take_down).
fresh_system() {
    local dir=$1
    echo $$ >"$dir.pid"
    # mktemp made DIR 700; as the root of a system it is 755, or no user but
    # root reaches anything in it.
    chmod 755 "$dir"
    debootstrap --variant=minbase --unpack-tarball="$tarball" "$SUITE" "$dir" "$archive" >"$dir.log" 2>&1 ||
        { tail -n 30 "$dir.log"; rm -f "$dir.log"; return 1; }
    rm -f "$dir.log"
    mount -t proc proc "$dir/proc" &&
        mount -t sysfs -o ro sysfs "$dir/sys" &&
        mount --bind /dev "$dir/dev" &&
        mount --bind /dev/pts "$dir/dev/pts" &&
        mount -t tmpfs tmpfs "$dir/dev/shm" || return 1
    if [ -f /etc/resolv.conf ]; then cp -L /etc/resolv.conf "$dir/etc/resolv.conf"; fi
}

# in_system DIR WORKDIR COMMAND...: runs COMMAND as root in the system in DIR,
# in WORKDIR there, with a clean environment (DISPLAY passed on when set).
in_system() {
    local dir=$1 workdir=$2
    shift 2
    chroot "$dir" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb ${DISPLAY:+DISPLAY=$DISPLAY} \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
        bash -c 'cd "$0" && "$@"' "$workdir" "$@"
}

chroot_dir=$(mktemp -d /var/tmp/latticeview-debian13.XXXXXX)
systems+=("$chroot_dir")
phase "unpacking the base system into $chroot_dir"
fresh_system "$chroot_dir" || exit 1

git -C "$root" archive --format=tar --prefix=latticeview/ HEAD | tar -x -C "$chroot_dir/root"
[ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] ||
    echo "note: uncommitted changes are not tested, only HEAD ($(git -C "$root" rev-parse --short HEAD))"

# in_chroot COMMAND...: runs COMMAND in the chroot, in the tree's copy.
in_chroot() { in_system "$chroot_dir" /root/latticeview "$@"; }

# ---------------------------------------------------------------- the package
# scripts/deb.sh builds the Debian package in the chroot (and checks it with
# lintian, desktop-file-validate and appstreamcli). A second fresh system,
# unpacked from the same base, then installs it with apt-get, which pulls only
# its dependencies: lbm_trace prints the golden text; the window, started by
# the desktop entry's Exec line on an Xvfb of this machine, prints the first
# report for f and ends with status 1 for q; man finds the manual page; the
# version is the same in the package, lbm_trace --version and the metainfo;
# and after apt-get purge none of the package's files remain.
package_test() {
    local log="$chroot_dir/tmp/deb.log" deb name version fresh work
    phase "the Debian package: scripts/deb.sh"
    if ! in_chroot scripts/deb.sh >"$log" 2>&1; then
        tail -n 40 "$log"
        fail "the package (scripts/deb.sh)"
        return
    fi
    grep -E '^[EW]: latticeview|^FAILED|^built ' "$log" || true
    deb=$(find "$chroot_dir/root/latticeview/build/deb" -maxdepth 1 -name "latticeview_*_$arch.deb" | head -n 1)
    [ -n "$deb" ] || { fail "the package (scripts/deb.sh built no latticeview_*_$arch.deb)"; return; }
    name=$(basename "$deb")

    phase "the package in a fresh system: $name"
    fresh=$(mktemp -d /var/tmp/latticeview-debian13.XXXXXX)
    systems+=("$fresh")
    fresh_system "$fresh" || { fail "the package (fresh system)"; return; }
    cp "$deb" "$chroot_dir/root/latticeview/tests/golden/probe_150.txt" "$fresh/root/"
    local problems=()
    # man-db is not one of the package's dependencies: a desktop system has it.
    if ! in_system "$fresh" /root apt-get update -q >"$fresh/root/apt.log" 2>&1 ||
        ! in_system "$fresh" /root apt-get install -y -q man-db >"$fresh/root/apt.log" 2>&1; then
        tail -n 30 "$fresh/root/apt.log"
        fail "the package (apt-get update, man-db)"
        return
    fi
    if ! in_system "$fresh" /root apt-get install -y -q "./$name" >"$fresh/root/install.log" 2>&1; then
        tail -n 30 "$fresh/root/install.log"
        fail "the package (apt-get install ./$name)"
        return
    fi
    echo "apt-get install ./$name: $(grep -E '^[0-9]+ upgraded, [0-9]+ newly installed' "$fresh/root/install.log")"
    in_system "$fresh" /root dpkg-query -L latticeview >"$fresh/root/files.txt" ||
        { fail "the package (dpkg-query -L latticeview)"; return; }

    # lbm_trace: the golden text, and the package's version.
    in_system "$fresh" /root sh -c 'lbm_trace 150 | cmp - probe_150.txt' || problems+=("lbm_trace 150 differs from the golden text")
    # shellcheck disable=SC2016
    version=$(in_system "$fresh" /root dpkg-query -W -f='${Version}' latticeview) || version='(none)'
    [ "$(in_system "$fresh" /root lbm_trace --version)" = "lbm_trace (latticeview) $version" ] ||
        problems+=("lbm_trace --version does not say the package's version $version")
    grep -q "<release version=\"$version\"" "$fresh"/usr/share/metainfo/*.metainfo.xml ||
        problems+=("the metainfo's release is not the package's version $version")

    # The window, as the applications menu starts it: the Exec line without
    # its field codes (a terminal for Terminal=true is the menu's own).
    local exec_line status=0
    exec_line=$(sed -n 's/^Exec=//p' "$fresh/usr/share/applications/latticeview.desktop" | head -n 1 |
        sed -e 's/ *%[fFuUdDnNickvm]//g')
    work=$(mktemp -d "$fresh/tmp/window.XXXXXX")
    if [ -n "$exec_line" ]; then
        drive_window "$work" 60 1 in_system "$fresh" /root sh -c "$exec_line" || status=$?
    else
        echo "no Exec line" >"$work/drive.txt"
    fi
    if [ "$status" = 1 ] && head -n 11 "$fresh/root/probe_150.txt" | cmp -s - "$work/out.txt"; then
        echo "ok: Exec=$exec_line: f prints the first golden report, q ends with status 1"
    else
        cat "$work/err.txt" "$work/xvfb.log" 2>/dev/null
        problems+=("the window from Exec=$exec_line ($(cat "$work/drive.txt"))")
    fi

    local page
    page=$(in_system "$fresh" /root man -w latticeview) && echo "man -w latticeview: $page" || problems+=("man -w latticeview finds nothing")

    # Removed: every file of the package gone, and every directory but those
    # that other packages own too.
    if in_system "$fresh" /root apt-get purge -y -q latticeview >"$fresh/root/apt.log" 2>&1; then
        local path left=()
        while IFS= read -r path; do
            [ "$path" = /. ] && continue
            [ -e "$fresh$path" ] || [ -L "$fresh$path" ] || continue
            [ -d "$fresh$path" ] && [ ! -L "$fresh$path" ] && in_system "$fresh" /root dpkg-query -S "$path" >/dev/null 2>&1 && continue
            left+=("$path")
        done <"$fresh/root/files.txt"
        [ "${#left[@]}" -eq 0 ] || problems+=("left after apt-get purge: ${left[*]}")
    else
        tail -n 30 "$fresh/root/apt.log"
        problems+=("apt-get purge latticeview failed")
    fi

    if [ "${#problems[@]}" -eq 0 ]; then
        pass "the package installs in a fresh system, runs, and is removed without a trace"
    else
        local problem
        for problem in "${problems[@]}"; do fail "the package: $problem"; done
    fi
    take_down "$fresh" || true
}

# With the argument "package", only the package is tested.
if [ "${1:-}" = package ]; then
    package_test
    finish
    exit
fi

# ---------------------------------------------------------------- run.sh
# On an Xvfb of this machine, whose abstract socket X clients in the chroot
# reach. The first run installs packages and builds: its window may take 6
# minutes. The program's reports follow what the script printed while
# installing and building.
phase "scripts/run.sh on the fresh system"
work=$(mktemp -d "$chroot_dir/tmp/run.XXXXXX")
run_status=0
drive_window "$work" 360 20 in_chroot scripts/run.sh || run_status=$?
if [ "$run_status" = 1 ] &&
    sed -n '/^Lattice 0: /,$p' "$work/out.txt" | cmp -s - <(head -n 220 "$root/tests/golden/probe_150.txt"); then
    pass "scripts/run.sh: 20 presses of f print the first 20 golden reports, q ends with status 1"
else
    tail -n 40 "$work/out.txt"
    tail -n 20 "$work/err.txt"
    fail "scripts/run.sh ($(cat "$work/drive.txt"))"
fi

# ---------------------------------------------------------------- test.sh
phase "scripts/test.sh"
check "scripts/test.sh" in_chroot scripts/test.sh

package_test

# ---------------------------------------------------------------- FLTK 1.4
phase "FLTK 1.4 in place of FLTK 1.3"
if in_chroot apt-get install -y -q libfltk1.4-dev libfltk1.3-dev- >/dev/null; then
    # shellcheck disable=SC2016
    in_chroot sh -c 'echo "FLTK $(fltk-config --version)"'
    # g++, and g++ with the sanitizers; warnings are errors.
    # shellcheck disable=SC2016
    check "FLTK 1.4: g++ and g++ with the sanitizers" in_chroot bash -c '. scripts/packages.sh
        run_build "$PWD" fltk14 -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DLBM_BUILD_BENCH=OFF \
            -DLBM_SCRIPT_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
        run_build "$PWD" fltk14-sanitizers -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
            -DLBM_SANITIZE=ON -DLBM_BUILD_BENCH=OFF -DLBM_SCRIPT_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
        finish'
else
    fail "FLTK 1.4 (install)"
fi

# ---------------------------------------------------------------- Wayland
# FLTK 1.4.3's own Wayland backend never shows an OpenGL window under weston:
# before the first frame it waits for the window's surface to enter an output,
# which weston reports only for a surface that already shows a frame. In a
# Wayland session with XWayland the program chooses FLTK's X11 backend itself.
phase "a Wayland session (weston) through XWayland, FLTK 1.4"
if in_chroot apt-get install -y -q weston xwayland >/dev/null; then
    check "XWayland" in_chroot bash tests/gui/xwayland_test.sh build/test-fltk14/viewer/latticeview
else
    fail "XWayland (install)"
fi

finish
