#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test of this machine's
# own builds: g++ (also builds the benchmark), clang++, and g++ with
# AddressSanitizer and UndefinedBehaviorSanitizer. Each of them also tests a
# two-layer lattice and runs the program itself under a virtual X server. Then
# the simulation alone with g++ and its SSE2 code turned off, checked against
# the golden probe text too. The cross-built targets, run through emulators,
# are scripts/cross-test.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

failed=()

run_build gcc -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++
run_build clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ -DLBM_BUILD_BENCH=OFF
run_build sanitizers -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DLBM_SANITIZE=ON \
    -DLBM_BUILD_BENCH=OFF
run_build nosimd -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DLBM_SIMD=OFF -DLBM_BUILD_VIEWER=OFF \
    -DLBM_BUILD_BENCH=OFF

if [ "${#failed[@]}" -ne 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "all builds passed"
