#!/usr/bin/env bash
# Installs what is missing (emscripten, Chromium, the Node packages of the
# browser test with npm ci), then tests the WebAssembly build and the page:
#   - lbm_trace under Node against the golden text and snapshots, with the
#     SSE2 code (as WebAssembly SIMD) and without it;
#   - the committed docs/latticeview.html equals the page built from these
#     sources byte for byte;
#   - the page in headless Chromium (tests/web/page_test.mjs): pictures, keys,
#     reports, q, a lost context, no WebGL, the buttons, wheel and touch, the
#     layout at several sizes and device pixel ratios; and its keys, reports
#     and q in Firefox, in a private Xvfb server.
# Each part runs whatever the others' results.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/web-env.sh"
ensure_web_packages "${WEB_TEST_PACKAGES[@]}" || exit 1

. "$root/tests/shell_helpers.sh"

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

# ---------------------------------------------------------------- the committed page
page="$root/build/web/latticeview.html"
committed_page_is_current() {
    [ -f "$page" ] && cmp -s "$page" "$root/docs/latticeview.html" && return 0
    echo "docs/latticeview.html differs from $page: run scripts/web.sh --commit and commit it"
    return 1
}
check "docs/latticeview.html is the page built from these sources" committed_page_is_current

# ---------------------------------------------------------------- the browser test
echo "=== the page in Chromium and Firefox"
if (cd "$root/tests/web" && npm ci --no-audit --no-fund --loglevel=error); then
    work=$(mktemp -d)
    firefox=()
    if start_xvfb "$work"; then
        firefox=(env LBM_FIREFOX_TEST=1)
    else
        cat "$work/xvfb.log"
        fail "Xvfb for the Firefox part (which is skipped)"
    fi
    check "the page in the browsers" \
        timeout 900 "${firefox[@]}" node "$root/tests/web/page_test.mjs" "$page" "$root/build/web/trace/lbm_trace.js"
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    rm -rf "$work"
else
    fail "npm ci (tests/web)"
fi

finish
