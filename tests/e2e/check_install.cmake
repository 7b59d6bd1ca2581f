# Installs the build into a fresh prefix and checks what lands there: both executables run,
# and their man pages are the ones in the source tree.
# Variables: BUILD_DIR, PREFIX, BINDIR, MANDIR, MAN_PAGE, BINIFY_MAN_PAGE, VERSION, SUFFIX (of
# executable files), EMULATOR (the command that runs a program of the target, empty for a
# native build).
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
foreach(program asciify binify)
  set(executable "${PREFIX}/${BINDIR}/${program}${SUFFIX}")
  set(man_page "${PREFIX}/${MANDIR}/man1/${program}.1")
  foreach(path "${executable}" "${man_page}")
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "not installed: ${path}")
    endif()
  endforeach()

  execute_process(COMMAND ${emulator} "${executable}" --version OUTPUT_VARIABLE version
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT version STREQUAL "${program} ${VERSION}\n")
    message(FATAL_ERROR "installed ${program} printed '${version}' (status ${status})")
  endif()

  file(READ "${man_page}" installed)
  set(source_page "${MAN_PAGE}")
  if(program STREQUAL "binify")
    set(source_page "${BINIFY_MAN_PAGE}")
  endif()
  file(READ "${source_page}" source)
  if(NOT installed STREQUAL source)
    message(FATAL_ERROR "installed man page differs from ${source_page}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
