# One static library per subsystem folder, built from every source in it.
# Headers are included by their folder under src/ ("video/video_source.h"); INCLUDE_DIR
# names another root, for libraries outside src/.
function(slidetrack_library name)
  cmake_parse_arguments(ARG "" "INCLUDE_DIR" "DEPS;PRIVATE_DEPS" ${ARGN})
  if(NOT ARG_INCLUDE_DIR)
    set(ARG_INCLUDE_DIR ${PROJECT_SOURCE_DIR}/src)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX ".*/(main|.*_test)\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${ARG_INCLUDE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${ARG_INCLUDE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# One test executable per *_test.cpp, so a broken test file only breaks itself.
function(slidetrack_tests)
  cmake_parse_arguments(ARG "NEEDS_BINARY" "" "DEPS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(test_source ${tests})
    get_filename_component(test_name ${test_source} NAME_WE)
    add_executable(${test_name} ${test_source})
    target_link_libraries(${test_name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
    # End-to-end tests run the real binary.
    target_compile_definitions(${test_name} PRIVATE
      SLIDETRACK_BIN="$<TARGET_FILE:slidetrack>"
      SLIDETRACK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    if(ARG_NEEDS_BINARY)
      add_dependencies(${test_name} slidetrack)
    endif()
    gtest_discover_tests(${test_name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                         DISCOVERY_TIMEOUT 60)
  endforeach()
endfunction()

# An optional part of the program as a module beside the slidetrack binary in the build
# tree and in SLIDETRACK_INSTALL_MODULEDIR when installed, loaded at run time by `consumer`
# (see app/runtime_module.h), which learns its file name as <prefix>_NAME.
function(slidetrack_runtime_module name consumer prefix)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  set_target_properties(${name} PROPERTIES
    PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/src/app)
  add_dependencies(${consumer} ${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${consumer} PRIVATE ${prefix}_NAME="$<TARGET_FILE_NAME:${name}>")
  install(TARGETS ${name} LIBRARY DESTINATION ${SLIDETRACK_INSTALL_MODULEDIR})
endfunction()
