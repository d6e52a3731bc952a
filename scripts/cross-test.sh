#!/usr/bin/env bash
# Cross builds of the simulation and lbm_trace with Debian's cross compilers,
# each run on this machine through an emulator: qemu-user for the Linux
# targets, wine for Windows. Every build compares lbm_trace's 150-step text
# byte for byte with tests/golden/probe_150.txt (trace_golden and the other
# trace_* tests); the full targets also build and run the GoogleTest suites of
# the simulation, the point list and the camera, the golden-only targets build
# nothing else. Then a native lbm_trace resumes snapshots that each target
# wrote, exactly.
#   scripts/cross-test.sh                  every target
#   scripts/cross-test.sh s390x windows    some of them
# The targets are the rows of TARGETS below (s390x is the big-endian one,
# windows is x86-64 through mingw-w64); a new target is one more row.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"

# One row per target: its name, its toolchain file in cmake/toolchains/, what
# it runs (full: the GoogleTest suites too, built from Debian's googletest
# sources; golden: lbm_trace's text and snapshots only), its packages (GCC is
# the cross compiler of the toolchain's name), and options of its own.
#   i686: qemu-i386 hangs in fork() on the machine that runs CI, so the test
#   that forks is left to the native builds there.
TARGETS=(
    # name     toolchain               tests   packages                                                               options
    "aarch64   aarch64-linux-gnu       full    g++-aarch64-linux-gnu qemu-user"
    "i686      i686-linux-gnu          full    g++-i686-linux-gnu qemu-user                                           -DLBM_FORK_TESTS=OFF"
    "s390x     s390x-linux-gnu         full    g++-s390x-linux-gnu qemu-user"
    "windows   x86_64-w64-mingw32      full    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64"
    "ppc64el   powerpc64le-linux-gnu   golden  g++-powerpc64le-linux-gnu qemu-user"
    "riscv64   riscv64-linux-gnu       golden  g++-riscv64-linux-gnu qemu-user"
    "armhf     arm-linux-gnueabihf     golden  g++-arm-linux-gnueabihf qemu-user"
)

# row NAME: the target's row, split into words; false for an unknown name.
row() {
    local entry
    for entry in "${TARGETS[@]}"; do
        read -ra words <<<"$entry"
        [ "${words[0]}" = "$1" ] && return 0
    done
    return 1
}

all_targets=()
for entry in "${TARGETS[@]}"; do all_targets+=("${entry%% *}"); done
targets=("$@")
[ "${#targets[@]}" -eq 0 ] && targets=("${all_targets[@]}")

needed=(cmake make)
for target in "${targets[@]}"; do
    if ! row "$target"; then
        echo "unknown target: $target (one of: ${all_targets[*]})" >&2
        exit 2
    fi
    [ "${words[2]}" = full ] && needed+=(googletest)
    for word in "${words[@]:3}"; do
        [[ $word == -D* ]] || needed+=("$word")
    done
done
ensure_packages "${needed[@]}"

# The native lbm_trace that resumes the targets' snapshots.
native="$root/build/cross-native"
native_built=false
if cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release -DLBM_BUILD_VIEWER=OFF -DLBM_BUILD_BENCH=OFF \
        -DLBM_GTEST_TESTS=OFF >/dev/null && cmake --build "$native" -j "$(nproc)" --target lbm_trace >/dev/null; then
    native_built=true
else
    fail "the native lbm_trace (build)"
fi

for target in "${targets[@]}"; do
    row "$target"
    args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/${words[1]}.cmake" -DCMAKE_BUILD_TYPE=Release
          -DLBM_BUILD_VIEWER=OFF -DLBM_BUILD_BENCH=OFF)
    [ "${words[2]}" = golden ] && args+=(-DLBM_GTEST_TESTS=OFF)
    for word in "${words[@]:3}"; do
        [[ $word == -D* ]] && args+=("$word")
    done
    start=$SECONDS
    run_build "$root" "cross-$target" "${args[@]}" || true
    "$native_built" && resumed_exactly "$native/trace/lbm_trace" "$root/build/test-cross-$target/tests/trace_resume/full" \
        "$root/tests/golden"
    echo "=== cross-$target: $((SECONDS - start)) s"
done

finish
