# Cross-builds for Linux on aarch64 with Debian's cross compiler (g++-aarch64-linux-gnu). Where
# qemu-user is installed, built programs (the example generator, the tests) run under
# qemu-aarch64 with the target's libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(ASCIIFY_TRIPLET aarch64-linux-gnu)

set(CMAKE_C_COMPILER ${ASCIIFY_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ASCIIFY_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${ASCIIFY_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(ASCIIFY_QEMU qemu-aarch64)
if(ASCIIFY_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ASCIIFY_QEMU} -L /usr/${ASCIIFY_TRIPLET})
endif()
