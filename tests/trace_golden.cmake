# Runs lbm_trace for its default 150 steps and compares its standard output
# byte for byte with the golden text.
#   TRACE     the program
#   EMULATOR  command that runs a target program, arguments separated by "|"; empty for a native build
#   GOLDEN    the expected text
#   OUTPUT    where the printed text is kept for inspection
string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(COMMAND ${emulator} ${TRACE} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lbm_trace failed: ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${GOLDEN} RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "lbm_trace's text (${OUTPUT}) differs from ${GOLDEN}")
endif()
