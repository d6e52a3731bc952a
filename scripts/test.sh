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

# The scripts' own test does not depend on the compiler: the first build runs it.
run_build "$root" gcc -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ || true
run_build "$root" clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ -DLBM_BUILD_BENCH=OFF \
    -DLBM_SCRIPT_TESTS=OFF || true
run_build "$root" sanitizers -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DLBM_SANITIZE=ON \
    -DLBM_BUILD_BENCH=OFF -DLBM_SCRIPT_TESTS=OFF || true
run_build "$root" nosimd -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DLBM_SIMD=OFF -DLBM_BUILD_VIEWER=OFF \
    -DLBM_BUILD_BENCH=OFF -DLBM_SCRIPT_TESTS=OFF || true

finish
