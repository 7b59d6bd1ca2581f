# The library for programs of their own: libasciify.a and libasciify.so.1, the public headers,
# a CMake package (find_package(asciify) gives asciify::asciify, the shared library where there
# is one, and asciify::asciify_static) and asciify.pc for pkg-config.
target_include_directories(asciify_library INTERFACE
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set(installed_libraries asciify_library)
set(pc_libraries "")
foreach(kind IN ITEMS ZLIB::ZLIB LibLZMA::LibLZMA)
  if(TARGET ${kind})
    target_link_libraries(asciify_library PUBLIC $<INSTALL_INTERFACE:${kind}>)
  endif()
endforeach()
if(TARGET ZLIB::ZLIB)
  string(APPEND pc_libraries " -lz")
endif()
if(TARGET LibLZMA::LibLZMA)
  string(APPEND pc_libraries " -llzma")
endif()
if(ZSTD_FOUND)
  target_link_libraries(asciify_library PUBLIC $<INSTALL_INTERFACE:zstd>)
  string(APPEND pc_libraries " -lzstd")
endif()
if(ASCIIFY_SHARED)
  set_target_properties(asciify_shared PROPERTIES EXPORT_NAME asciify)
  target_include_directories(asciify_shared INTERFACE
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  set_target_properties(asciify_library PROPERTIES EXPORT_NAME asciify_static)
  list(APPEND installed_libraries asciify_shared)
  add_library(asciify::asciify ALIAS asciify_shared)
else()
  set_target_properties(asciify_library PROPERTIES EXPORT_NAME asciify)
  add_library(asciify::asciify ALIAS asciify_library)
endif()
install(TARGETS ${installed_libraries} EXPORT asciify-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(ASCIIFY_LTO_ACTIVE)
  # The installed archive keeps the machine code of its objects and drops the compiler's
  # intermediate code, which only this version of the compiler could read.
  install(CODE "
    set(folder \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}\")
    set(archive \"\${folder}/$<TARGET_FILE_NAME:asciify_library>\")
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" -R \".gnu.lto_*\" -R \".gnu.debuglto_*\"
      \"\${archive}\" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR \"Could not remove the intermediate code from \${archive}\")
    endif()")
endif()
install(DIRECTORY include/asciify DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_BINARY_DIR}/generated/asciify/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/asciify)

set(ASCIIFY_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/asciify)
install(EXPORT asciify-targets NAMESPACE asciify:: DESTINATION ${ASCIIFY_CMAKE_DIR})
include(CMakePackageConfigHelpers)
configure_package_config_file(cmake/asciify-config.cmake.in
  ${PROJECT_BINARY_DIR}/asciify-config.cmake INSTALL_DESTINATION ${ASCIIFY_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/asciify-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/asciify-config.cmake
  ${PROJECT_BINARY_DIR}/asciify-config-version.cmake DESTINATION ${ASCIIFY_CMAKE_DIR})

# The .pc file finds its prefix from where it lies, so that the installed tree can move.
set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ASCIIFY_PC_PREFIX /${pc_dir} /)
string(REGEX REPLACE "/$" "" ASCIIFY_PC_PREFIX "${ASCIIFY_PC_PREFIX}")
set(ASCIIFY_PC_LIBS "${pc_libraries}")
configure_file(cmake/asciify.pc.in ${PROJECT_BINARY_DIR}/asciify.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/asciify.pc DESTINATION ${pc_dir})
