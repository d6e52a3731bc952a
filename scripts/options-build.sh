#!/usr/bin/env bash
# Configures and builds (without running the tests) the combinations of the
# build options that scripts/test.sh does not build, so that each documented
# combination keeps building: lbm_trace alone without GoogleTest (as a
# packager of the tool builds it), no window with the benchmarks, no tests, no
# GUI test, and two layers. scripts/test.sh builds the rest: everything on,
# no benchmark, and lbm_trace alone with GoogleTest. The builds share one
# compiler cache (ccache), so each compiles only what the others have not.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" ccache

export CCACHE_DIR="$root/build/options-ccache"
build_only() {  # build_only NAME CMAKE-ARGUMENTS...
    local name=$1; shift
    local build="$root/build/options-$name"
    echo "=== options: $name ($*)"
    if cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@" >/dev/null &&
        cmake --build "$build" -j "$(nproc)" >"$build.log" 2>&1; then
        pass "option build $name"
    else
        [ -f "$build.log" ] && tail -n 30 "$build.log"
        fail "option build $name"
    fi
}

build_only tool-alone -DLBM_BUILD_VIEWER=OFF -DLBM_BUILD_BENCH=OFF -DLBM_GTEST_TESTS=OFF
build_only no-viewer -DLBM_BUILD_VIEWER=OFF
build_only no-tests -DLBM_BUILD_TESTS=OFF
build_only no-gui-tests -DLBM_GUI_TESTS=OFF -DLBM_BUILD_BENCH=OFF
build_only layers2 -DLBM_NUM_LAYERS=2 -DLBM_BUILD_BENCH=OFF

finish
