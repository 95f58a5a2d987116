# The layers check itself: a copy of the GUI folders with one include
# planted at a time must fail it, and the copy as it stands must pass.
# Run as: cmake -DSOURCE=<project dir> -DWORK=<scratch dir> -P check_layers_catches.cmake

cmake_minimum_required(VERSION 3.16)

set(CHECK ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)
# file: the line planted at its end; each must be refused.
set(PLANTS
  "src/run/owner.cpp|#include \"grading/grade.h\""        # run <-> grading
  "src/run/callback.cpp|#include \"saved/recovery.h\""    # run <-> saved
  "src/app/timer.cpp|#include \"grading/grade.h\""        # app <-> grading
  "src/app/menu.cpp|#include \"saved/store.h\""           # app <-> saved
  "src/app/functions.cpp|#include \"run/form.h\""         # app <-> run
  "src/saved/load.cpp|#include \"assemble.h\""            # the assembly from a folder
)

function(check_tree expect_pass what)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE=${WORK} -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(expect_pass AND NOT rc EQUAL 0)
    message(FATAL_ERROR "the layers check refuses the tree as it stands")
  elseif(NOT expect_pass AND rc EQUAL 0)
    message(FATAL_ERROR "the layers check lets through: ${what}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
foreach(dir src/app src/run src/grading src/saved src/bank tools)
  file(COPY ${SOURCE}/${dir}/ DESTINATION ${WORK}/${dir})
endforeach()
check_tree(TRUE "")

foreach(plant IN LISTS PLANTS)
  string(REPLACE "|" ";" parts "${plant}")
  list(GET parts 0 file)
  list(GET parts 1 line)
  file(READ ${WORK}/${file} original)
  file(APPEND ${WORK}/${file} "\n${line}\n")
  check_tree(FALSE "${line} in ${file}")
  file(WRITE ${WORK}/${file} "${original}")
endforeach()
file(REMOVE_RECURSE ${WORK})
