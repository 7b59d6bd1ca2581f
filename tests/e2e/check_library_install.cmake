# Installs the build into a fresh prefix, builds the example program (examples/) against it with find_package, as
# a user's build would, and checks that the program converts the example exactly as the
# installed asciify does: the same text, messages and status.
# Variables: BUILD_DIR, PREFIX, SOURCE_DIR (examples/), BINDIR, EXAMPLE, GENERATOR,
# COMPILER.
file(REMOVE_RECURSE "${PREFIX}")
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}/usr")
run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${PREFIX}/build" -G "${GENERATOR}"
  "-DCMAKE_CXX_COMPILER=${COMPILER}" "-DCMAKE_PREFIX_PATH=${PREFIX}/usr")
run("${CMAKE_COMMAND}" --build "${PREFIX}/build")

foreach(program "${PREFIX}/build/convert_file" "${PREFIX}/usr/${BINDIR}/asciify")
  get_filename_component(name "${program}" NAME)
  execute_process(COMMAND "${program}" "${EXAMPLE}" "${PREFIX}/${name}.txt"
    RESULT_VARIABLE status_${name} OUTPUT_VARIABLE out_${name} ERROR_VARIABLE err_${name})
  file(READ "${PREFIX}/${name}.txt" text_${name})
endforeach()
foreach(what status out err text)
  if(NOT "${${what}_convert_file}" STREQUAL "${${what}_asciify}")
    message(FATAL_ERROR "the installed library's ${what} differs from asciify's:\n"
      "${${what}_convert_file}\n---\n${${what}_asciify}")
  endif()
endforeach()
if(NOT status_asciify EQUAL 0 OR text_asciify STREQUAL "")
  message(FATAL_ERROR "the example did not convert: ${err_asciify}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
