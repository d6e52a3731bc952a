# Sourced by the other scripts: installs the Debian packages a command needs,
# through apt-get, as root or through sudo, when any of them is missing; and
# builds and tests one configuration of the project (run_build). Brings the
# shared helpers (shell_helpers.sh) along.
. "$(dirname "${BASH_SOURCE[0]}")/shell_helpers.sh"

# Building the program, and lbm_trace with its pictures (Mesa's off-screen
# library and libpng).
BUILD_PACKAGES=(cmake make g++ libfltk1.3-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libosmesa6-dev
    libpng-dev)
# Building and running every test and the benchmark: a second compiler, the
# test and benchmark libraries, a virtual X server with the tools that drive
# it and read its pixels, and VTK's Python bindings to read snapshots back.
TEST_PACKAGES=(clang libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool imagemagick x11-utils mesa-utils
    python3-vtk9)
# The cross builds (scripts/cross-test.sh) name their own packages.

ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "missing packages: ${missing[*]} (run as root or install sudo)" >&2; return 1; }
        sudo=(sudo)
    fi
    # Another apt or dpkg run (an unattended upgrade, a second script) may
    # hold apt's locks for a while: wait up to 15 minutes rather than fail.
    # apt-get install waits for dpkg's lock itself (DPkg::Lock::Timeout);
    # apt-get update gives up at once on the package lists' lock, so it is
    # tried again while that lock is busy.
    local apt=(apt-get -o DPkg::Lock::Timeout=900)
    local output tries=0
    echo "installing: ${missing[*]}"
    until output=$("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "${apt[@]}" update -q 2>&1); do
        if grep -q 'Could not get lock' <<<"$output" && [ $((tries += 1)) -lt 180 ]; then
            sleep 5
            continue
        fi
        printf '%s\n' "$output" >&2
        return 1
    done
    printf '%s\n' "$output"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -q "${missing[@]}"
}

# run_build SOURCE NAME CMAKE-ARGUMENTS...: configures SOURCE/build/test-NAME
# with the arguments, builds it and runs its tests; passes or fails (the
# shared helpers' pass and fail) "NAME (build)" or "NAME (tests)", and returns
# false on either failure.
run_build() {
    local source=$1 name=$2; shift 2
    local build="$source/build/test-$name"
    echo "=== $name: configure and build"
    if ! { cmake -S "$source" -B "$build" "$@" >/dev/null && cmake --build "$build" -j "$(nproc)"; }; then
        fail "$name (build)"
        return 1
    fi
    echo "=== $name: test"
    check "$name (tests)" ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
}

# resumed_exactly TRACE SNAPSHOTS GOLDEN-DIRECTORY: TRACE (a native lbm_trace)
# resumes the snapshots of steps 100 and 144 that another build wrote
# (SNAPSHOTS/lattice_000100.vti and ..144.vti: those of trace_resume) up to
# step 150; its reports must be those steps of GOLDEN-DIRECTORY/probe_150.txt
# and its last snapshot the one of snapshots_150.sha256. Passes or fails one
# check per snapshot.
resumed_exactly() {
    local trace=$1 snapshots=$2 golden=$3 step out
    out=$(mktemp -d)
    for step in 100 144; do
        "$trace" --resume "$snapshots/lattice_000$step.vti" --vtk "$out/$step" $((150 - step)) >"$out/$step.txt"
        check "$snapshots/lattice_000$step.vti resumes here exactly: the reports and the snapshot of step 150" \
            eval 'tail -c +$(($("$trace" "$step" | wc -c) + 1)) "$golden/probe_150.txt" | cmp -s - "$out/$step.txt" &&
                  grep -qx "$(cd "$out/$step" && sha256sum lattice_000150.vti)" "$golden/snapshots_150.sha256"'
    done
    rm -rf "$out"
}
