# Tests of the window: the real program under Xvfb (with or without
# GoogleTest), and the page's matrices against GLU's.

if(LBM_GUI_TESTS)
  # Closes the window the way a window manager does (there is none under Xvfb).
  find_package(X11 REQUIRED)
  add_executable(wm_close ${CMAKE_CURRENT_SOURCE_DIR}/gui/wm_close.cpp)
  target_link_libraries(wm_close PRIVATE X11::X11)

  # Where the program puts a point of the lattice, for the test to look there.
  add_executable(lattice_pixel ${CMAKE_CURRENT_SOURCE_DIR}/gui/lattice_pixel.cpp)
  target_link_libraries(lattice_pixel PRIVATE lbm_view)

  add_test(NAME gui_latticeview
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/gui/latticeview_gui_test.sh
      $<TARGET_FILE:latticeview> $<TARGET_FILE:lbm_trace> $<TARGET_FILE:wm_close>)
  # In a sanitizer build the program's exit runs LeakSanitizer, which must not
  # count the libraries' own lifelong blocks.
  set_tests_properties(gui_latticeview PROPERTIES TIMEOUT 240
    ENVIRONMENT "LATTICEVIEW_LAYERS2=$<TARGET_FILE:latticeview_layers2>;LATTICE_PIXEL=$<TARGET_FILE:lattice_pixel>;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/gui/lsan.supp:print_suppressions=0")
endif()

# The page's matrices without GLU, against GLU and the GL (Mesa's off-screen
# library).
if(TARGET lbm_osmesa AND LBM_GTEST_TESTS)
  add_executable(view_matrices_test ${CMAKE_CURRENT_SOURCE_DIR}/view_matrices_test.cpp)
  target_link_libraries(view_matrices_test PRIVATE lbm_view lbm_osmesa GTest::gtest_main)
  gtest_discover_tests(view_matrices_test TEST_PREFIX "view_matrices."
    PROPERTIES ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/osmesa_lsan.supp:print_suppressions=0")
endif()
