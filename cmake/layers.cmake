# The library is built in layers, one a folder: each is an object library of its listed
# sources, which may use the layers it names (and those below them) and nothing above.
# Unit tests sit beside the sources and are listed with them.
#
#   asciify_layer(NAME SOURCES a.cpp ... [DEPENDS layer ...] [TESTS a_test.cpp ...])
#
# Defines the object library asciify_NAME and records, for the include check of the tests
# (cmake/check_layers.cmake), which folders the layer may include from.
function(asciify_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;DEPENDS;TESTS")
  add_library(asciify_${name} OBJECT ${arg_SOURCES})
  target_include_directories(asciify_${name} PUBLIC ${PROJECT_SOURCE_DIR}
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_BINARY_DIR}/generated)
  if(ASCIIFY_SHARED_OBJECTS)
    set_target_properties(asciify_${name} PROPERTIES POSITION_INDEPENDENT_CODE ON
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  endif()
  if(ASCIIFY_LTO_ACTIVE)
    target_compile_options(asciify_${name} PRIVATE -flto=auto -ffat-lto-objects)
  endif()
  set(allowed ${name})
  foreach(dependency IN LISTS arg_DEPENDS)
    target_link_libraries(asciify_${name} PUBLIC asciify_${dependency})
    get_property(below GLOBAL PROPERTY ASCIIFY_LAYER_ALLOWS_${dependency})
    list(APPEND allowed ${below})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set_property(GLOBAL PROPERTY ASCIIFY_LAYER_ALLOWS_${name} ${allowed})
  set_property(GLOBAL PROPERTY ASCIIFY_LAYER_FOLDER_${name} ${folder})
  set_property(GLOBAL APPEND PROPERTY ASCIIFY_LAYERS ${name})
  set(sources)
  foreach(source IN LISTS arg_SOURCES)
    list(APPEND sources ${CMAKE_CURRENT_SOURCE_DIR}/${source})
  endforeach()
  set_property(GLOBAL PROPERTY ASCIIFY_LAYER_SOURCES_${name} ${sources})
  foreach(test IN LISTS arg_TESTS)
    set_property(GLOBAL APPEND PROPERTY ASCIIFY_UNIT_TESTS ${CMAKE_CURRENT_SOURCE_DIR}/${test})
  endforeach()
endfunction()

# The folders every layer's folder may include from, one line "folder: allowed folders" each,
# for the include check.
function(asciify_write_layer_table path)
  get_property(layers GLOBAL PROPERTY ASCIIFY_LAYERS)
  set(table "")
  foreach(layer IN LISTS layers)
    get_property(folder GLOBAL PROPERTY ASCIIFY_LAYER_FOLDER_${layer})
    get_property(allowed GLOBAL PROPERTY ASCIIFY_LAYER_ALLOWS_${layer})
    set(folders)
    foreach(name IN LISTS allowed)
      get_property(allowed_folder GLOBAL PROPERTY ASCIIFY_LAYER_FOLDER_${name})
      list(APPEND folders ${allowed_folder})
    endforeach()
    string(REPLACE ";" " " folders "${folders}")
    string(APPEND table "${folder}: ${folders}\n")
  endforeach()
  file(WRITE ${path} "${table}")
endfunction()
