# The Debian package, built with `cpack` from a build tree configured with
# -DCMAKE_INSTALL_PREFIX=/usr (scripts/package-check does both). Its
# dependencies come from dpkg-shlibdeps, run on the installed programs.

set(TRIALIX_PACKAGE_MAINTAINER "The Trialix developers <developers@trialix.invalid>"
  CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trialix)
set(CPACK_PACKAGE_VENDOR "The Trialix developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "practice exams against the clock")
set(CPACK_PACKAGE_DESCRIPTION
"Trialix is a desktop program for taking practice exams. Pick an installed
exam, choose training or exam mode, answer single-choice, multiple-choice
and fill-in items drawn at random from the exam's question pools, mark
items for review, work against a countdown, and get a points score with
Passed or Failed. Afterwards you review your errors with the right answers
shown. A run can be saved at any moment and resumed later.

The package holds three demo exams, and trialix-pack, with which exam
authors pack questions written as plain text.")
# The programs are built for the installation prefix, so the package
# keeps it.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
# The settings file lives in /etc, outside the prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TRIALIX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Files under /etc are the administrator's: dpkg keeps their changes on
# upgrade when they are listed as conffiles.
set(conffiles "${CMAKE_BINARY_DIR}/cpack/conffiles")
if(TRIALIX_INSTALL_XDG_DIR MATCHES "^/etc/")
  file(WRITE "${conffiles}" "${TRIALIX_INSTALL_XDG_DIR}/trialix/trialix.conf\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${conffiles}")
endif()

# A Debian package installs under /usr; refuse to make one for another
# prefix rather than ship programs that look for their exams elsewhere.
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_BINARY_DIR}/cpack/TrialixCPackConfig.cmake")
file(WRITE "${CPACK_PROJECT_CONFIG_FILE}" "
if(CPACK_GENERATOR STREQUAL \"DEB\" AND NOT \"${CMAKE_INSTALL_PREFIX}\" STREQUAL \"/usr\")
  message(FATAL_ERROR \"The Debian package needs a build configured with -DCMAKE_INSTALL_PREFIX=/usr (this one has ${CMAKE_INSTALL_PREFIX}); scripts/package-check makes one.\")
endif()
")

include(CPack)
