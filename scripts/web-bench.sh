#!/usr/bin/env bash
# The time step natively and as WebAssembly under Node, side by side: the same
# program (bench/plain_step_bench.cpp) built both ways, run alternately
# RUNS times (5 by default); prints each run's median step and the ratio of
# the medians of all runs. The WebAssembly build is that of the page (SSE2
# code as WebAssembly SIMD) and, with --nosimd, the portable code on both
# sides.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/web-env.sh"
ensure_web_packages g++ libbenchmark-dev

simd=ON
[ "${1:-}" = --nosimd ] && { simd=OFF; shift; }
runs=${1:-5}

native="$root/build/web-bench-native-$simd"
web="$root/build/web-bench-$simd"
cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DLBM_BUILD_VIEWER=OFF \
    -DLBM_BUILD_TESTS=OFF -DLBM_BUILD_BENCH=ON -DLBM_SIMD="$simd" >/dev/null
cmake --build "$native" --target plain_step_bench -j "$(nproc)" >/dev/null
cmake -S "$root" -B "$web" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/emscripten.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DLBM_BUILD_TESTS=OFF -DLBM_SIMD="$simd" >/dev/null
cmake --build "$web" --target plain_step_bench -j "$(nproc)" >/dev/null

native_times=()
web_times=()
for ((run = 1; run <= runs; run++)); do
    n=$("$native/bench/plain_step_bench" | awk '{print $2}')
    w=$(node "$web/bench/plain_step_bench.js" | awk '{print $2}')
    echo "run $run: native $n us, WebAssembly $w us"
    native_times+=("$n")
    web_times+=("$w")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
n=$(median "${native_times[@]}")
w=$(median "${web_times[@]}")
echo "median step: native $n us, WebAssembly $w us; WebAssembly / native = $(awk -v n="$n" -v w="$w" 'BEGIN {printf "%.2f", w / n}')"
