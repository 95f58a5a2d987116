# Things the source tree keeps in one place, each checked by a rule:
#   kinds: the item kinds' letters appear in the kind table alone
#     (src/bank/item_kind.cpp): a kind switched over by its letter
#     elsewhere is a place a new kind would be missed. The program and the
#     authoring tool name kinds through the table; tests may use letters.
#   run: no code of the program but src/run/owner.cpp assigns QP, the
#     run's list (its definition in the shell's globals aside).
# Run as: cmake -DSOURCE=<project dir> -DRULE=kinds|run -P check_owner.cmake

cmake_minimum_required(VERSION 3.16)

if(RULE STREQUAL "kinds")
  set(dirs src tools)
  set(owner "src/bank/item_kind.cpp")
  set(pattern "'[SMF]'")
  set(allowed "")
  set(what "a kind's letter outside the kind table")
elseif(RULE STREQUAL "run")
  set(dirs src)
  set(owner "src/run/owner.cpp")
  # An assignment, a compound one, or an address taken (which could set it).
  set(pattern "(^|[^A-Za-z0-9_])QP[ \t]*([-+|&]?=[^=]|\\+\\+|--)|&[ \t]*QP([^A-Za-z0-9_]|$)|(\\+\\+|--)[ \t]*QP([^A-Za-z0-9_]|$)")
  set(allowed "src/app/globals.cpp:question \\*QP = nullptr;")
  set(what "sets QP outside the run's owner")
else()
  message(FATAL_ERROR "unknown RULE '${RULE}'")
endif()

set(problems "")
set(files "")
foreach(d IN LISTS dirs)
  file(GLOB_RECURSE found ${SOURCE}/${d}/*.h ${SOURCE}/${d}/*.cpp)
  list(APPEND files ${found})
endforeach()
foreach(f IN LISTS files)
  file(RELATIVE_PATH rel ${SOURCE} ${f})
  if(rel STREQUAL owner)
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "${pattern}")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(allowed AND "${rel}:${line}" MATCHES "^${allowed}$")
      continue()
    endif()
    string(APPEND problems "${rel}: ${what}: ${line}\n")
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
message(STATUS "${RULE}: kept in ${owner}")
