# Cross-builds for Linux on s390x (Debian: g++-s390x-linux-gnu; tests under qemu-s390x).
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
