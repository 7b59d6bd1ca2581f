# The settings every Linux cross build shares, for the processor CMAKE_SYSTEM_PROCESSOR with
# Debian's cross compiler (g++-<processor>-linux-gnu). Where qemu-user is installed, built
# programs (the example generator, the tests) run under qemu-<processor> with the target's
# libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(ASCIIFY_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-linux-gnu)

set(CMAKE_C_COMPILER ${ASCIIFY_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ASCIIFY_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${ASCIIFY_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(ASCIIFY_QEMU qemu-${CMAKE_SYSTEM_PROCESSOR})
if(ASCIIFY_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ASCIIFY_QEMU} -L /usr/${ASCIIFY_TRIPLET})
endif()
