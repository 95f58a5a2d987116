# Formats each manual page of PAGES with `man --warnings -l`; a page that
# makes groff warn, or that formats to nothing, fails.
#   cmake -DMAN=<man> -DPAGES=<page;page> -P check_man.cmake
set(failed)
foreach(page IN LISTS PAGES)
  execute_process(COMMAND "${MAN}" --warnings -l "${page}"
    RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
  if(NOT status EQUAL 0 OR NOT warnings STREQUAL "" OR NOT text MATCHES "NAME")
    message("${page}: exit status ${status}\n${warnings}")
    list(APPEND failed "${page}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "man --warnings: ${failed}")
endif()
