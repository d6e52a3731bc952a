#!/usr/bin/env bash
# Installs what is missing (emscripten, Chromium, the Node packages that
# drive the browsers: npm ci in browsers/), then tests the WebAssembly build
# and the page:
#   - lbm_trace under Node against the golden text and snapshots, with the
#     SSE2 code (as WebAssembly SIMD) and without it;
#   - the committed docs/latticeview.html equals the page built from these
#     sources byte for byte;
#   - the page in headless Chromium (tests/web/page_test.mjs): pictures, keys,
#     reports, q, a lost context, no WebGL, the buttons, wheel and touch, the
#     layout at several sizes and device pixel ratios, saved snapshots, the
#     back button, the leave prompt; and its keys, reports and q in Firefox,
#     in a private Xvfb server;
#   - the page in WebKitGTK through WebKitWebDriver, in that server
#     (tests/web/webkit_test.mjs): pictures, keys, reports, q;
#   - the page's pictures along a seeded sequence of drags and steps against
#     the window's (built natively here) in that server, in the three browsers
#     (tests/web/views_test.mjs).
# Each part runs whatever the others' results.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/web-env.sh"
ensure_web_packages "${WEB_TEST_PACKAGES[@]}" || exit 1

# ---------------------------------------------------------------- builds and golden tests
# The page is built by the first build; none is compared when that fails.
rm -f "$root/build/web/latticeview.html"
for variant in simd nosimd; do
    build="$root/build/web"
    options=()
    if [ "$variant" = nosimd ]; then
        build="$root/build/web-nosimd"
        options=(-DLBM_SIMD=OFF)
    fi
    echo "=== WebAssembly ($variant): build"
    if build_web "$build" "${options[@]}"; then
        echo "=== WebAssembly ($variant): lbm_trace's golden tests under Node"
        check "golden tests under Node ($variant)" ctest --test-dir "$build" --output-on-failure --timeout 300
    else
        fail "WebAssembly build ($variant)"
    fi
done

# The window, for the pictures at many views: the program and the camera
# helper alone, without the test libraries.
window_build="$root/build/web-window"
echo "=== the window (for the pictures at many views): build"
window_built=false
if cmake -S "$root" -B "$window_build" -DCMAKE_BUILD_TYPE=Release -DLBM_GTEST_TESTS=OFF -DLBM_BUILD_BENCH=OFF \
        -DLBM_GUI_TESTS=OFF >/dev/null &&
    cmake --build "$window_build" -j "$(nproc)" --target latticeview drag_cameras; then
    window_built=true
else
    fail "the window's build"
fi

# ---------------------------------------------------------------- the committed page
page="$root/build/web/latticeview.html"
committed_page_is_current() {
    [ -f "$page" ] && cmp -s "$page" "$root/docs/latticeview.html" && return 0
    echo "docs/latticeview.html differs from $page: run scripts/web.sh --commit and commit it"
    return 1
}
check "docs/latticeview.html is the page built from these sources" committed_page_is_current

# ---------------------------------------------------------------- the browser test
echo "=== the page in Chromium, Firefox and WebKit"
if (cd "$root/browsers" && npm ci --no-audit --no-fund --loglevel=error); then
    work=$(mktemp -d)
    firefox=()
    if start_xvfb "$work"; then
        firefox=(env LBM_FIREFOX_TEST=1)
    else
        cat "$work/xvfb.log"
        fail "Xvfb for the Firefox and WebKit parts (which are skipped)"
    fi
    check "the page in the browsers" \
        timeout 900 "${firefox[@]}" node "$root/tests/web/page_test.mjs" "$page" "$root/build/web/trace/lbm_trace.js"
    if [ ${#firefox[@]} -gt 0 ]; then
        check "the page in WebKit" \
            timeout 300 node "$root/tests/web/webkit_test.mjs" "$page" "$root/build/web/trace/lbm_trace.js"
        if "$window_built"; then
            check "the page's pictures at many views equal the window's" \
                timeout 600 node "$root/tests/web/views_test.mjs" "$page" "$window_build/viewer/latticeview" \
                "$window_build/tests/drag_cameras"
        fi
    fi
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    rm -rf "$work"
else
    fail "npm ci (browsers)"
fi

finish
