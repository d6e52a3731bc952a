# Sourced by scripts/web.sh and scripts/web-test.sh (after packages.sh): the
# packages and the environment of the WebAssembly build, and the build itself.

WEB_PACKAGES=(cmake make emscripten)
# The browser test: Chromium headless, and Firefox and WebKitGTK (through its
# WebDriver) in a virtual X server (headless Firefox has no WebGL), driven
# through puppeteer-core and selenium-webdriver from npm; ImageMagick reads
# the pictures, as in the window's test, and ffmpeg's ffprobe and ffmpeg
# read back the film that the page records. The pictures at many views are
# compared with the window's own, built here and driven with xdotool.
WEB_TEST_PACKAGES=(chromium firefox-esr webkit2gtk-driver xvfb x11-utils imagemagick xdotool ffmpeg
    "${BUILD_PACKAGES[@]}")

# emscripten brings Debian's nodejs where no node is at hand; npm is added
# only where none is at hand either (a Node.js from elsewhere brings its own,
# and Debian's npm would conflict with it).
ensure_web_packages() {
    local packages=("${WEB_PACKAGES[@]}" "$@")
    command -v node >/dev/null || packages+=(nodejs)
    command -v npm >/dev/null || packages+=(npm)
    ensure_packages "${packages[@]}"
}

# emcc runs some tools with node, which finds their modules in Debian's
# directory only by NODE_PATH where another node comes first on the PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# build_web DIR [CMAKE-ARGUMENTS...]: configures and builds the WebAssembly
# tree in DIR (lbm_trace, the page, the step benchmark).
build_web() {
    local build=$1; shift
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/emscripten.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$build" -j "$(nproc)"
}
