# Runs lbm_trace with snapshots and compares the SHA-256 of every file it
# writes with the committed list, made by the native build: the snapshots are
# the same bytes on every platform. Its probe reports must be the golden text.
#   TRACE     the program
#   EMULATOR  command that runs a target program, arguments separated by "|"; empty for a native build
#   ARGUMENTS lbm_trace's count and options, separated by "|" (without --vtk)
#   GOLDEN    the expected "<sha256>  <file>" lines, sorted by file name
#   REPORTS   the expected probe text (optional)
#   OUTPUT    a directory for the snapshots and the printed text (emptied first)
string(REPLACE "|" ";" emulator "${EMULATOR}")
string(REPLACE "|" ";" arguments "${ARGUMENTS}")
file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
execute_process(COMMAND ${emulator} ${TRACE} --vtk ${OUTPUT}/snapshots ${arguments}
  OUTPUT_FILE ${OUTPUT}/reports.txt RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lbm_trace failed: ${status}")
endif()

file(GLOB names RELATIVE ${OUTPUT}/snapshots ${OUTPUT}/snapshots/*)
list(SORT names)
set(sums "")
foreach(name IN LISTS names)
  file(SHA256 ${OUTPUT}/snapshots/${name} sum)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE ${OUTPUT}/sha256.txt "${sums}")

file(READ ${GOLDEN} expected)
if(NOT sums STREQUAL expected)
  message(FATAL_ERROR "the snapshots' checksums (${OUTPUT}/sha256.txt) differ from ${GOLDEN}:\n${sums}")
endif()
if(REPORTS)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT}/reports.txt ${REPORTS} RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "lbm_trace's text (${OUTPUT}/reports.txt) differs from ${REPORTS}")
  endif()
endif()
