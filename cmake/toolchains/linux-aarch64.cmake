# Cross-builds for Linux on aarch64 (Debian: g++-aarch64-linux-gnu; tests under qemu-aarch64).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
