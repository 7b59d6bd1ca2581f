# Cross-builds 64-bit Windows console programs with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
# The posix thread model gives std::thread; everything is linked statically, so the
# executables need no DLL beside them. Where wine is installed, built programs (the example
# generator, the tests) run under it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ASCIIFY_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ASCIIFY_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ASCIIFY_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ASCIIFY_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ASCIIFY_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Libraries found for the build (zlib, say) are their static archives, not import libraries.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

find_program(ASCIIFY_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(ASCIIFY_WINE NAMES wine64 wine)
if(ASCIIFY_WINE)
  # A wrapper that keeps wine quiet and in the build's own prefix.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../run-under-wine.sh ${ASCIIFY_WINE})
endif()
