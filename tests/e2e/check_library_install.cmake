# Installs the build into a fresh prefix and builds the example programs against it as a user's
# build would: with find_package (examples/CMakeLists.txt) and, for the C one, with pkg-config.
# On the bundled example and the byte-order samples, convert_file must give what the installed
# asciify gives (text, messages, status), and the two readers its text, with every data
# record's values writing its line again.
# Variables: BUILD_DIR, PREFIX, SOURCE_DIR (examples/), BINDIR, INPUTS, GENERATOR, COMPILER,
# C_COMPILER, PKG_CONFIG, USER_FLAGS (what a program linking a sanitized library needs too).
file(REMOVE_RECURSE "${PREFIX}")
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}/usr")
# The installed archive holds machine code only, which any compiler links, and no compiler's
# intermediate code.
file(GLOB_RECURSE archives "${PREFIX}/usr/libasciify.a")
if(NOT archives)
  message(FATAL_ERROR "no libasciify.a installed under ${PREFIX}/usr")
endif()
foreach(archive IN LISTS archives)
  file(STRINGS "${archive}" intermediate LIMIT_COUNT 1 REGEX "\\.gnu\\.lto_")
  if(intermediate)
    message(FATAL_ERROR "${archive} holds intermediate code (${intermediate})")
  endif()
endforeach()
run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${PREFIX}/build" -G "${GENERATOR}"
  "-DCMAKE_CXX_COMPILER=${COMPILER}" "-DCMAKE_PREFIX_PATH=${PREFIX}/usr"
  "-DCMAKE_CXX_FLAGS=${USER_FLAGS}")
run("${CMAKE_COMMAND}" --build "${PREFIX}/build")
set(ENV{PKG_CONFIG_PATH} "${PREFIX}/usr/lib/pkgconfig")
execute_process(COMMAND "${PKG_CONFIG}" --cflags --libs asciify OUTPUT_VARIABLE flags
  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
execute_process(COMMAND "${PKG_CONFIG}" --variable=libdir asciify OUTPUT_VARIABLE libdir
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pkg-config does not find the installed asciify.pc")
endif()
separate_arguments(flags UNIX_COMMAND "${USER_FLAGS} ${flags}")
run("${C_COMPILER}" -std=c99 -Wall -Wextra -Werror "${SOURCE_DIR}/read_lines.c" ${flags}
  "-Wl,-rpath,${libdir}" -o "${PREFIX}/build/read_lines")

# Runs `program` on `input`: sets <name>_status, _out, _err and _text (what OUT holds).
macro(run_on name program input)
  execute_process(COMMAND ${program} "${input}" "${PREFIX}/${name}.txt"
    RESULT_VARIABLE ${name}_status OUTPUT_VARIABLE ${name}_out ERROR_VARIABLE ${name}_err)
  set(${name}_text "")
  if(EXISTS "${PREFIX}/${name}.txt")
    file(READ "${PREFIX}/${name}.txt" ${name}_text)
  endif()
endmacro()
foreach(input IN LISTS INPUTS)
  run_on(command "${PREFIX}/usr/${BINDIR}/asciify" "${input}")
  run_on(library "${PREFIX}/build/convert_file" "${input}")
  foreach(what status out err text)
    if(NOT "${library_${what}}" STREQUAL "${command_${what}}")
      message(FATAL_ERROR "${input}: the installed library's ${what} differs from asciify's:\n"
        "${library_${what}}\n---\n${command_${what}}")
    endif()
  endforeach()
  if(NOT command_status EQUAL 0 OR command_text STREQUAL "")
    message(FATAL_ERROR "${input} did not convert: ${command_err}")
  endif()
  foreach(reader read_lines read_values)
    execute_process(COMMAND "${PREFIX}/build/${reader}" "${input}" RESULT_VARIABLE status
      OUTPUT_VARIABLE lines ERROR_VARIABLE err)
    if(NOT status EQUAL 0 OR NOT lines STREQUAL command_text)
      message(FATAL_ERROR "${input}: ${reader} (status ${status}) gives other lines: ${err}")
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
