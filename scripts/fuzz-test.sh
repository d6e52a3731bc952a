#!/usr/bin/env bash
# Fuzzes the snapshot reader (what `lbm_trace --resume` and the page read)
# with clang's libFuzzer, AddressSanitizer and UBSan, for a bounded time, from
# a corpus of real snapshots made here: lbm_trace's at start-up, after one
# step and after 144 (infinities and NaNs), one of a run with other
# parameters, and one without field data. Any finding (a crash, a file read
# back otherwise than it was written, a hang or a large allocation) fails
# the run and leaves the input in build/fuzz/findings/.
#   scripts/fuzz-test.sh           60 seconds
#   scripts/fuzz-test.sh 600       another time, in seconds
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
seconds=${1:-60}
ensure_packages cmake make clang libclang-rt-dev || exit 1

build="$root/build/fuzz"
echo "=== the fuzz target: build"
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DLBM_FUZZ=ON \
        -DLBM_BUILD_VIEWER=OFF -DLBM_BUILD_BENCH=OFF -DLBM_GTEST_TESTS=OFF >/dev/null &&
       cmake --build "$build" -j "$(nproc)" --target snapshot_fuzz lbm_trace; }; then
    fail "the fuzz target (build)"
    finish
    exit
fi

corpus="$build/corpus"
findings="$build/findings"
rm -rf "$corpus" "$build/seeds" && mkdir -p "$corpus" "$findings" "$build/seeds"
trace="$build/trace/lbm_trace"
"$trace" --vtk "$build/seeds/startup" --every 144 144 >/dev/null &&
    "$trace" --vtk "$build/seeds/startup1" 1 >/dev/null &&
    "$trace" --tau 0.3 --spacing 2e-07 --source 0,0 --source-value -1e+30 --vtk "$build/seeds/others" 5 >/dev/null
check "the seed snapshots are written" [ $? -eq 0 ]
cp "$build/seeds/startup/lattice_000000.vti" "$build/seeds/startup/lattice_000144.vti" \
    "$build/seeds/startup1/lattice_000001.vti" "$corpus/"
cp "$build/seeds/others/lattice_000005.vti" "$corpus/others_000005.vti"
sed '/^    <FieldData>$/,/^    <\/FieldData>$/d' "$build/seeds/startup/lattice_000144.vti" >"$corpus/old_000144.vti"

echo "=== the snapshot reader under libFuzzer for $seconds s"
# -rss_limit_mb: a reader that allocated what a file declares would pass it.
check "libFuzzer finds nothing in $seconds s" \
    "$build/tests/snapshot_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -artifact_prefix="$findings/" -print_final_stats=1 "$corpus"
finish
