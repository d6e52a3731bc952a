# Compile options of the WebAssembly build (cmake/toolchains/emscripten.cmake),
# included before the sources' own directories.
#
# The collision's SSE2 code compiles to WebAssembly SIMD through emscripten's
# SSE2 headers; LBM_SIMD=OFF builds the portable code (the same bits). Every
# browser in current use runs WebAssembly SIMD.
if(LBM_SIMD)
  add_compile_options(-msimd128 -msse2)
endif()

# Neither the toolkit nor GoogleTest nor Google Benchmark exists for this
# target: the page stands in for the window, and the tests of this build are
# those of lbm_trace's text and snapshots, run under Node.
foreach(option LBM_BUILD_VIEWER LBM_GTEST_TESTS LBM_BUILD_BENCH)
  if(${option})
    message(STATUS "WebAssembly: ${option} set to OFF")
    set(${option} OFF CACHE BOOL "" FORCE)
  endif()
endforeach()
