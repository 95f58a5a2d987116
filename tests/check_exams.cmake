# Runs `trialix-pack check` on every exam directory under ROOT; fails when
# it finds a problem. With no exams there is nothing to check.
#   cmake -DPACK=<trialix-pack> -DROOT=<exam root> -P check_exams.cmake
file(GLOB entries LIST_DIRECTORIES true "${ROOT}/*")
set(exams)
foreach(entry IN LISTS entries)
  get_filename_component(name "${entry}" NAME)
  if(IS_DIRECTORY "${entry}" AND NOT name MATCHES "^\\.")
    list(APPEND exams "${entry}")
  endif()
endforeach()
if(NOT exams)
  message(STATUS "No exams under ${ROOT}")
  return()
endif()
execute_process(COMMAND "${PACK}" check ${exams} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "trialix-pack check: exit status ${status}")
endif()
