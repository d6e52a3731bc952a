#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it. Arguments are
# passed to the program (the toolkit reads them, e.g. -geometry).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}"

build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLBM_BUILD_TESTS=OFF -DLBM_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target latticeview -j "$(nproc)"
exec "$build/viewer/latticeview" "$@"
