# Rules the source tree keeps, line by line (comments may name what a rule
# forbids, so they are passed over):
#   kinds: the item kinds' letters appear in the kind table alone
#     (src/bank/item_kind.cpp): a kind switched over by its letter
#     elsewhere is a place a new kind would be missed. The program and the
#     authoring tool name kinds through the table; tests may use letters.
#   run: no code of the program but src/run/owner.cpp assigns QP, the
#     run's list (its definition in the shell's globals aside).
#   quiet: the core reports failures to its callers (a GError) and never
#     prints, itself or through GLib's log; the one exception is the
#     out-of-memory line that ends the process: no caller is left to report.
# Run as: cmake -DSOURCE=<project dir> -DRULE=kinds|run|quiet -P check_source_rule.cmake

cmake_minimum_required(VERSION 3.16)

set(owner "")
set(allowed "")
if(RULE STREQUAL "kinds")
  set(globs src/*.h src/*.cpp tools/*.h tools/*.cpp)
  set(owner "src/bank/item_kind.cpp")
  set(pattern "'[SMF]'")
  set(what "a kind's letter outside the kind table")
elseif(RULE STREQUAL "run")
  set(globs src/*.h src/*.cpp)
  set(owner "src/run/owner.cpp")
  # An assignment, a compound one, or an address taken (which could set it).
  set(pattern "(^|[^A-Za-z0-9_])QP[ \t]*([-+|&]?=[^=]|\\+\\+|--)|&[ \t]*QP([^A-Za-z0-9_]|$)|(\\+\\+|--)[ \t]*QP([^A-Za-z0-9_]|$)")
  set(allowed "src/app/globals.cpp:question \\*QP = nullptr;")
  set(what "sets QP outside the run's owner")
elseif(RULE STREQUAL "quiet")
  set(globs src/bank/*.h src/bank/*.cpp)
  set(pattern "(^|[^a-z_])(fprintf|printf|vprintf|puts|putchar|perror|g_printerr|g_print|g_warning|g_message|g_critical|g_debug|g_info|g_log)[ \t]*\\(|std::(cerr|cout|clog)|(^|[^a-z_])(stdout|stderr)([^a-z_]|$)")
  set(allowed "src/bank/[a-z_]+[.]cpp:fputs\\(\"\\[[a-z_]+:[a-z]+\\] Out of memory\\\\n\", stderr\\);")
  set(what "the core prints")
else()
  message(FATAL_ERROR "unknown RULE '${RULE}'")
endif()

set(problems "")
set(files "")
foreach(g IN LISTS globs)
  file(GLOB_RECURSE found ${SOURCE}/${g})
  list(APPEND files ${found})
endforeach()
foreach(f IN LISTS files)
  file(RELATIVE_PATH rel ${SOURCE} ${f})
  if(rel STREQUAL owner)
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "${pattern}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "//.*" "" code "${line}")
    string(STRIP "${code}" code)
    if(NOT code MATCHES "${pattern}" OR (allowed AND "${rel}:${code}" MATCHES "^${allowed}$"))
      continue()
    endif()
    string(APPEND problems "${rel}: ${what}: ${code}\n")
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
message(STATUS "${RULE}: kept")
