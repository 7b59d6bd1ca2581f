# Installs the build into a fresh prefix and checks what lands there: the executable runs,
# and the man page is the one in the source tree.
# Variables: BUILD_DIR, PREFIX, BINDIR, MANDIR, MAN_PAGE, VERSION, EXECUTABLE (its file name),
# EMULATOR (the command that runs a program of the target, empty for a native build).
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(executable "${PREFIX}/${BINDIR}/${EXECUTABLE}")
set(man_page "${PREFIX}/${MANDIR}/man1/asciify.1")
foreach(path "${executable}" "${man_page}")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
execute_process(COMMAND ${emulator} "${executable}" --version OUTPUT_VARIABLE version RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version STREQUAL "asciify ${VERSION}\n")
  message(FATAL_ERROR "installed executable printed '${version}' (status ${status})")
endif()

file(READ "${man_page}" installed)
file(READ "${MAN_PAGE}" source)
if(NOT installed STREQUAL source)
  message(FATAL_ERROR "installed man page differs from ${MAN_PAGE}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
