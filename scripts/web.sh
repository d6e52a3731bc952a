#!/usr/bin/env bash
# Installs what is missing (Debian's emscripten) and builds the page,
# build/web/latticeview.html: one self-contained file that runs in a browser,
# opened from disk or from any web server. With --commit, also copies it to
# docs/latticeview.html, the page that the repository carries.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/web-env.sh"
ensure_web_packages

copy=false
[ "${1:-}" = --commit ] && copy=true

build_web "$root/build/web"
echo "built $root/build/web/latticeview.html"
if "$copy"; then
    cp "$root/build/web/latticeview.html" "$root/docs/latticeview.html"
    echo "copied to $root/docs/latticeview.html"
fi
