# Installs the Python package into PREFIX and runs its tests there with PYTHON
# (cmake -DBUILD_DIR=... -DPREFIX=... -DPACKAGE_DIR=... -DPYTHON=... -DTESTS=... -P).
cmake_minimum_required(VERSION 3.20)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  --component python RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
set(ENV{PYTHONPATH} ${PREFIX}/${PACKAGE_DIR})
set(ENV{ASCIIFY_COMMAND} ${ASCIIFY})
set(ENV{BINIFY_COMMAND} ${BINIFY})
set(ENV{ASCIIFY_DUMP_VALUES} ${DUMP_VALUES})
set(ENV{ASCIIFY_EXAMPLE} ${EXAMPLE})
set(ENV{ASCIIFY_DATA} ${DATA})
set(ENV{PYTHONDONTWRITEBYTECODE} 1)
# A hung test (a cluster of asciify.dask's tests that never answers) ends the run.
execute_process(COMMAND ${PYTHON} -m pytest -q -p no:cacheprovider ${TESTS}
  WORKING_DIRECTORY ${PREFIX} RESULT_VARIABLE status TIMEOUT 1200)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the Python tests failed")
endif()
