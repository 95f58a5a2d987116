# The item kinds' letters appear in one place, the kind table
# (src/bank/item_kind.cpp): a kind switched over by its letter elsewhere
# is a place a new kind would be missed. The program and the authoring
# tool name kinds through the table; the tests may use letters freely.
# Run as: cmake -DSOURCE=<project dir> -P check_kinds.cmake

cmake_minimum_required(VERSION 3.16)

set(problems "")
file(GLOB_RECURSE files ${SOURCE}/src/*.h ${SOURCE}/src/*.cpp ${SOURCE}/tools/*.h ${SOURCE}/tools/*.cpp)
foreach(f IN LISTS files)
  file(RELATIVE_PATH rel ${SOURCE} ${f})
  if(rel STREQUAL "src/bank/item_kind.cpp")
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "'[SMF]'")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    string(APPEND problems "${rel}: a kind's letter outside the kind table: ${line}\n")
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
message(STATUS "item kinds: every letter is in the kind table")
