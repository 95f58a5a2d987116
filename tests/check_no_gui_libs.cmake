cmake_minimum_required(VERSION 3.16)
# A program that must run where no display library is installed links none.
# Run as: cmake -DPROGRAM=<path> -DLDD=<ldd> -P check_no_gui_libs.cmake
execute_process(COMMAND ${LDD} ${PROGRAM} OUTPUT_VARIABLE libs RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${LDD} ${PROGRAM} failed")
endif()
string(REGEX MATCHALL "lib(gtk|gdk|pango|atk|cairo|X)[^ \t\n]*" found "${libs}")
if(found)
  message(FATAL_ERROR "${PROGRAM} links display libraries: ${found}")
endif()
