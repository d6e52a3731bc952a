# WebAssembly with Debian's emscripten (package emscripten): lbm_trace runs
# under Node, and web/ builds the page.
#   cmake -S . -B build/web -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/emscripten.cmake
# emcc runs some of its tools with node: where another node than Debian's
# comes first on the PATH, they need NODE_PATH=/usr/share/nodejs in the
# environment of the build (scripts/web.sh sets it).
set(LBM_EMSCRIPTEN_ROOT /usr/share/emscripten CACHE PATH "emscripten's installation")

# Tests run the target programs with node itself: emcmake's default adds a
# flag that Node 20 refuses.
find_program(LBM_NODE NAMES node nodejs)
if(NOT LBM_NODE)
  message(FATAL_ERROR "node was not found: the WebAssembly build runs its programs with Node.js")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${LBM_NODE} CACHE FILEPATH "Runs a target program")

include(${LBM_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
