# The core reports failures to its callers (a GError) and never prints:
# no line of src/bank writes to standard error or standard output itself,
# nor through GLib's log. The one exception is the out-of-memory line that
# ends the process ("[new_question:malloc] Out of memory"): no caller is
# left to report it.
# Run as: cmake -DSOURCE=<project dir> -P check_core_quiet.cmake

cmake_minimum_required(VERSION 3.16)

set(problems "")
file(GLOB core_files ${SOURCE}/src/bank/*.h ${SOURCE}/src/bank/*.cpp)
foreach(f IN LISTS core_files)
  file(STRINGS ${f} lines)
  foreach(line IN LISTS lines)
    # Comments may name what they don't do.
    string(REGEX REPLACE "//.*" "" code "${line}")
    if(code MATCHES "(^|[^a-z_])(fprintf|printf|vprintf|puts|putchar|perror|g_printerr|g_print|g_warning|g_message|g_critical|g_debug|g_info|g_log)[ \t]*\\("
       OR code MATCHES "std::(cerr|cout|clog)"
       OR code MATCHES "(^|[^a-z_])stdout([^a-z_]|$)"
       OR (code MATCHES "(^|[^a-z_])stderr([^a-z_]|$)" AND NOT code MATCHES "Out of memory"))
      file(RELATIVE_PATH rel ${SOURCE} ${f})
      string(STRIP "${line}" shown)
      string(APPEND problems "${rel}: the core prints: ${shown}\n")
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
