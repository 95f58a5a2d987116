# Installs the build tree BUILD into the fresh directory ROOT (as DESTDIR)
# and runs scripts/installed-check on it for the prefix PREFIX.
#   cmake -DBUILD=<dir> -DROOT=<dir> -DPREFIX=<prefix> -DCHECK=<script> -P check_install.cmake
file(REMOVE_RECURSE "${ROOT}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${ROOT}"
    "${CMAKE_COMMAND}" --install "${BUILD}"
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install: exit status ${status}")
endif()
execute_process(COMMAND "${CHECK}" "${ROOT}" "${PREFIX}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "installed-check: exit status ${status}")
endif()
