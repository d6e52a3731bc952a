#!/usr/bin/env bash
# Cross builds of the simulation and lbm_trace with Debian's cross compilers,
# each run on this machine through an emulator: qemu-user for the Linux
# targets, wine for Windows. Every build compares lbm_trace's 150-step text
# byte for byte with tests/golden/probe_150.txt (trace_golden and the other
# trace_* tests); the full targets also build and run the simulation's
# GoogleTest suites, the golden-only targets build nothing else.
#   scripts/cross-test.sh                  every target
#   scripts/cross-test.sh s390x windows    some of them
# Targets, each with its toolchain file in cmake/toolchains/:
#   full:        aarch64, i686, s390x (big-endian), windows (x86-64, mingw-w64)
#   golden only: ppc64el, riscv64, armhf
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"

all_targets=(aarch64 i686 s390x windows ppc64el riscv64 armhf)
targets=("$@")
[ "${#targets[@]}" -eq 0 ] && targets=("${all_targets[@]}")

# toolchain TARGET: the name of its toolchain file; packages TARGET: what it needs.
toolchain() {
    case $1 in
        aarch64) echo aarch64-linux-gnu ;;
        i686) echo i686-linux-gnu ;;
        s390x) echo s390x-linux-gnu ;;
        windows) echo x86_64-w64-mingw32 ;;
        ppc64el) echo powerpc64le-linux-gnu ;;
        riscv64) echo riscv64-linux-gnu ;;
        armhf) echo arm-linux-gnueabihf ;;
        *) return 1 ;;
    esac
}
packages() {
    case $1 in
        # GoogleTest's sources, built for each full target.
        windows) echo g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64 googletest ;;
        aarch64 | i686 | s390x) echo "g++-$(toolchain "$1") qemu-user googletest" ;;
        *) echo "g++-$(toolchain "$1") qemu-user" ;;
    esac
}

needed=(cmake make)
for target in "${targets[@]}"; do
    if ! toolchain "$target" >/dev/null; then
        echo "unknown target: $target (one of: ${all_targets[*]})" >&2
        exit 2
    fi
    read -ra more <<<"$(packages "$target")"
    needed+=("${more[@]}")
done
ensure_packages "${needed[@]}"

failed=()
for target in "${targets[@]}"; do
    args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$(toolchain "$target").cmake" -DCMAKE_BUILD_TYPE=Release
          -DLBM_BUILD_VIEWER=OFF -DLBM_BUILD_BENCH=OFF)
    case $target in
        # qemu-i386 hangs in fork() on the machine that runs CI: the test
        # that forks is left to the native builds there.
        i686) args+=(-DLBM_FORK_TESTS=OFF) ;;
        ppc64el | riscv64 | armhf) args+=(-DLBM_GTEST_TESTS=OFF) ;;
    esac
    start=$SECONDS
    run_build "cross-$target" "${args[@]}"
    echo "=== cross-$target: $((SECONDS - start)) s"
done

if [ "${#failed[@]}" -ne 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "cross builds passed: ${targets[*]}"
