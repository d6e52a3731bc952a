#!/usr/bin/env bash
# Installs what is missing (emscripten, Chromium, the Node packages of the
# browser test with npm ci), then tests the WebAssembly build and the page:
#   - lbm_trace under Node against the golden text and snapshots, with the
#     SSE2 code (as WebAssembly SIMD) and without it;
#   - the committed docs/latticeview.html equals the page built from these
#     sources byte for byte;
#   - the page in headless Chromium (tests/web/page_test.mjs): pictures, keys,
#     reports, q, a lost context, no WebGL; and its keys, reports and q in
#     Firefox, in a private Xvfb server.
# Each part runs whatever the others' results.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/web-env.sh"
ensure_web_packages "${WEB_TEST_PACKAGES[@]}" || exit 1

passed=0
failed=()
result() {  # result NAME STATUS
    if [ "$2" -eq 0 ]; then
        echo "ok: $1"
        passed=$((passed + 1))
    else
        echo "FAILED: $1"
        failed+=("$1")
    fi
}

# ---------------------------------------------------------------- builds and golden tests
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
        ctest --test-dir "$build" --output-on-failure --timeout 300
        result "golden tests under Node ($variant)" $?
    else
        result "WebAssembly build ($variant)" 1
    fi
done

# ---------------------------------------------------------------- the committed page
page="$root/build/web/latticeview.html"
if [ -f "$page" ] && cmp -s "$page" "$root/docs/latticeview.html"; then
    result "docs/latticeview.html is the page built from these sources" 0
else
    echo "docs/latticeview.html differs from $page: run scripts/web.sh --commit and commit it"
    result "docs/latticeview.html is the page built from these sources" 1
fi

# ---------------------------------------------------------------- the browser test
echo "=== the page in Chromium and Firefox"
if (cd "$root/tests/web" && npm ci --no-audit --no-fund --loglevel=error); then
    work=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    firefox=()
    if [ -s "$work/display" ]; then
        firefox=(env DISPLAY=":$(head -n 1 "$work/display")" LBM_FIREFOX_TEST=1)
    else
        cat "$work/xvfb.log"
        result "Xvfb for the Firefox part (which is skipped)" 1
    fi
    timeout 900 "${firefox[@]}" node "$root/tests/web/page_test.mjs" "$page" "$root/build/web/trace/lbm_trace.js"
    result "the page in the browsers" $?
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
else
    result "npm ci (tests/web)" 1
fi

echo "${passed} passed, ${#failed[@]} failed"
[ "${#failed[@]}" -eq 0 ]
