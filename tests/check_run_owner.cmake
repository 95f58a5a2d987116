# The run's list has one owner: no code of the program but src/run/owner.cpp
# assigns QP (its definition in the shell's globals aside).
# Run as: cmake -DSOURCE=<project dir> -P check_run_owner.cmake

cmake_minimum_required(VERSION 3.16)

set(problems "")
file(GLOB_RECURSE files ${SOURCE}/src/*.h ${SOURCE}/src/*.cpp)
foreach(f IN LISTS files)
  file(RELATIVE_PATH rel ${SOURCE} ${f})
  if(rel STREQUAL "src/run/owner.cpp")
    continue()
  endif()
  # An assignment, a compound one, or an address taken (which could set it).
  file(STRINGS ${f} lines REGEX "(^|[^A-Za-z0-9_])QP[ \t]*([-+|&]?=[^=]|\\+\\+|--)|&[ \t]*QP([^A-Za-z0-9_]|$)|(\\+\\+|--)[ \t]*QP([^A-Za-z0-9_]|$)")
  foreach(line IN LISTS lines)
    if(rel STREQUAL "src/app/globals.cpp" AND line MATCHES "^question \\*QP = nullptr;$")
      continue()
    endif()
    string(APPEND problems "${rel}: sets QP outside the run's owner: ${line}\n")
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
