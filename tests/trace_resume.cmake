# Runs lbm_trace for 150 steps with a snapshot after every step, then resumes
# the snapshots of steps 0, 1, 50, 139, 140, 144 and 150 (inf from step 140,
# NaN from 144) for the rest of the 150 steps: the reports must be byte for
# byte those of the same steps in the uninterrupted run, and every snapshot
# of a resumed run, the first one (the file resumed) included, the
# uninterrupted run's file of that step. Then a snapshot of a resumed run is
# resumed in turn.
#   TRACE     the program
#   EMULATOR  command that runs a target program, arguments separated by "|"; empty for a native build
#   OUTPUT    a directory for the snapshots and the printed text (emptied first)
cmake_minimum_required(VERSION 3.16)
string(REPLACE "|" ";" emulator "${EMULATOR}")
set(steps 150)
file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})

function(trace output)
  execute_process(COMMAND ${emulator} ${TRACE} ${ARGN} OUTPUT_FILE ${output} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lbm_trace ${ARGN} failed: ${status}")
  endif()
endfunction()

# snapshot_name(STEP VAR): lattice_SSSSSS.vti (steps below 10^6 here).
function(snapshot_name step var)
  string(LENGTH "00000${step}" length)
  math(EXPR cut "${length} - 6")
  string(SUBSTRING "00000${step}" ${cut} 6 digits)
  set(${var} lattice_${digits}.vti PARENT_SCOPE)
endfunction()

trace(${OUTPUT}/full.txt --vtk ${OUTPUT}/full --every 1 ${steps})

# resumed(SNAPSHOT FIRST NAME): resumes SNAPSHOT (of step FIRST) up to step
# 150 into OUTPUT/NAME, with a snapshot every 7 steps, and compares.
function(resumed snapshot first name)
  math(EXPR more "${steps} - ${first}")
  trace(${OUTPUT}/${name}.txt --resume ${snapshot} --vtk ${OUTPUT}/${name} --every 7 ${more})
  # The reports of the uninterrupted run from step FIRST + 1: those after the
  # text of the first FIRST steps.
  trace(${OUTPUT}/first_${first}.txt ${first})
  file(SIZE ${OUTPUT}/first_${first}.txt skipped)
  file(READ ${OUTPUT}/full.txt expected OFFSET ${skipped})
  file(READ ${OUTPUT}/${name}.txt got)
  if(NOT got STREQUAL expected)
    message(FATAL_ERROR "${name}: the reports (${OUTPUT}/${name}.txt) differ from steps ${first} + 1 to ${steps} "
      "of the uninterrupted run (${OUTPUT}/full.txt)")
  endif()
  file(GLOB written RELATIVE ${OUTPUT}/${name} ${OUTPUT}/${name}/*.vti)
  snapshot_name(${first} first_name)
  snapshot_name(${steps} last_name)
  if(NOT first_name IN_LIST written OR NOT last_name IN_LIST written)
    message(FATAL_ERROR "${name}: the snapshots of the first and the last step are missing: ${written}")
  endif()
  foreach(file IN LISTS written)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT}/${name}/${file} ${OUTPUT}/full/${file}
      RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
      message(FATAL_ERROR "${name}: ${OUTPUT}/${name}/${file} differs from the uninterrupted run's")
    endif()
  endforeach()
endfunction()

foreach(first 0 1 50 139 140 144 150)
  snapshot_name(${first} name)
  resumed(${OUTPUT}/full/${name} ${first} resumed_${first})
endforeach()
# A resume of a resume: step 140, written by the run resumed at step 139.
resumed(${OUTPUT}/resumed_139/lattice_000140.vti 140 resumed_twice)
