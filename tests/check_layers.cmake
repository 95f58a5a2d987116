# The layering of the source tree, checked from its #include lines:
# - the core (src/bank) and the authoring tool (tools/) include no header of
#   a display library and no header of the GUI's folders;
# - no two GUI folders include each other, nor round a longer circle: the
#   shell (app) is below every screen folder, the run (run) below grading
#   and saved, which follow a run through its owner and build on its item
#   page; screens reach each other by name through the shell's navigator
#   (app/navigator.h);
# - only the place the program is put together (src/assemble.*) knows every
#   folder, and no folder includes it.
# Run as: cmake -DSOURCE=<project dir> -P check_layers.cmake

cmake_minimum_required(VERSION 3.16)

set(GUI_FOLDERS app run grading saved)
# Pairs that may include each other, each with the reason the design needs
# it ("a<->b", a before b). None does; with one allowed, only pairs are
# checked, not longer circles.
set(ALLOWED_CYCLES "")

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
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"assemble[.]h\"")
    if(lines)
      file(RELATIVE_PATH rel ${SOURCE} ${f})
      string(APPEND problems "${rel}: a GUI folder includes the program's assembly\n")
    endif()
  endforeach()
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

# Nor round a longer circle (app to run to grading and back to app).
foreach(a IN LISTS GUI_FOLDERS)
  set(reach ${uses_${a}})
  foreach(round IN LISTS GUI_FOLDERS)
    foreach(b IN LISTS reach)
      list(APPEND reach ${uses_${b}})
    endforeach()
    list(REMOVE_DUPLICATES reach)
  endforeach()
  if(a IN_LIST reach AND NOT ALLOWED_CYCLES)
    string(APPEND problems "src/${a} reaches itself through the includes of other GUI folders\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
