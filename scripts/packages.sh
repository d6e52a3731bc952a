# Sourced by the other scripts: installs the Debian packages a command needs,
# through apt-get, as root or through sudo, when any of them is missing; and
# builds and tests one configuration of the project (run_build).

# Building the program.
BUILD_PACKAGES=(cmake make g++ libfltk1.3-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri)
# Building and running every test and the benchmark: a second compiler, the
# test and benchmark libraries, a virtual X server with the tools that drive
# it and read its pixels, and VTK's Python bindings to read snapshots back.
TEST_PACKAGES=(clang libgtest-dev libgmock-dev libbenchmark-dev libosmesa6-dev xvfb xdotool imagemagick x11-utils
    python3-vtk9)
# Cross builds of the simulation and its tests, run through qemu-user:
# compilers for 64-bit ARM and 32-bit x86, and GoogleTest's sources to build
# it for each target.
CROSS_PACKAGES=(g++-aarch64-linux-gnu g++-i686-linux-gnu qemu-user googletest)

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
    echo "installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# run_build NAME CMAKE-ARGUMENTS...: configures build/test-NAME with the
# arguments, builds it and runs its tests; a failure is added to the caller's
# array `failed`, and the next build goes on.
run_build() {
    local name=$1; shift
    local build="$root/build/test-$name"
    echo "=== $name: configure and build"
    if ! { cmake -S "$root" -B "$build" "$@" >/dev/null && cmake --build "$build" -j "$(nproc)"; }; then
        failed+=("$name (build)")
        return
    fi
    echo "=== $name: test"
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300 || failed+=("$name (tests)")
}
