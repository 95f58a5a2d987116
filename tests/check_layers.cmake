# The layering of the source tree, checked from its #include lines:
# - the core (src/bank) and the authoring tool (tools/) include no header of
#   a display library and no header of the GUI's folders;
# - two GUI folders include each other only where the program's design has
#   them call each other (ALLOWED_CYCLES below).
# Run as: cmake -DSOURCE=<project dir> -P check_layers.cmake

cmake_minimum_required(VERSION 3.16)

set(GUI_FOLDERS app run grading saved)
# The shell shows the first screen of an exam (run), grades at time-out and
# goes back to a review screen from its notices (grading), and puts the
# save and load dialogs on its menu (saved); the item form has " Grade
# Exam " and the review pages are item forms (run and grading); a loaded or
# recovered exam goes on in the resume form, and a run keeps its recovery
# copy (run and saved). Each of those folders calls back into the shell's
# screen helpers.
set(ALLOWED_CYCLES "app<->run" "app<->grading" "app<->saved" "grading<->run" "run<->saved")

set(problems "")
file(GLOB_RECURSE core_files ${SOURCE}/src/bank/*.h ${SOURCE}/src/bank/*.cpp
     ${SOURCE}/tools/*.h ${SOURCE}/tools/*.cpp)
foreach(f IN LISTS core_files)
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "[<\"](gtk|gdk|gdk-pixbuf|pango|atk|cairo|X11)/" OR line MATCHES "[<\"](gtk|gdk)[.]h"
       OR line MATCHES "\"(app|run|grading|saved)/")
      file(RELATIVE_PATH rel ${SOURCE} ${f})
      string(APPEND problems "${rel}: the core includes ${line}\n")
    endif()
  endforeach()
endforeach()

foreach(from IN LISTS GUI_FOLDERS)
  set(uses_${from} "")
  file(GLOB files ${SOURCE}/src/${from}/*.h ${SOURCE}/src/${from}/*.cpp)
  foreach(f IN LISTS files)
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE ".*\"([a-z]+)/.*" "\\1" to "${line}")
      if(NOT to STREQUAL from AND to IN_LIST GUI_FOLDERS)
        list(APPEND uses_${from} ${to})
      endif()
    endforeach()
  endforeach()
endforeach()
foreach(a IN LISTS GUI_FOLDERS)
  foreach(b IN LISTS GUI_FOLDERS)
    if(a STRLESS b AND b IN_LIST uses_${a} AND a IN_LIST uses_${b}
       AND NOT "${a}<->${b}" IN_LIST ALLOWED_CYCLES)
      string(APPEND problems "src/${a} and src/${b} include each other\n")
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
