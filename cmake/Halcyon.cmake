# Helpers shared by every subsystem folder.

# halcyon_library(NAME [DEPS lib...]): one library per folder from every .cpp in it
# except the *_test.cpp files, which become the folder's test executable NAME_tests.
function(halcyon_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(tests)
    list(REMOVE_ITEM sources ${tests})
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()  # a folder of headers only
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
  if(HALCYON_TESTS AND tests)
    halcyon_test(${name}_tests SOURCES ${tests} DEPS ${name} ${ARG_TEST_DEPS})
  endif()
endfunction()

# halcyon_test(NAME SOURCES src... [DEPS lib...]): a GoogleTest executable run by CTest.
# Tests run with the source tree as their working directory, so testdata/ paths are
# relative to the repository root; ::testing::TempDir() is a fresh folder per process.
function(halcyon_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/test_main.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE HALCYON_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             HALCYON_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                       DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()

# halcyon_tool(NAME SOURCES src... DEPS lib...): a command-line program in bin/.
function(halcyon_tool name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()

# halcyon_fuzz(NAME SOURCES src... DEPS lib...): a libFuzzer target, built only with
# HALCYON_FUZZ (clang). `make fuzz` runs every target listed in fuzz-targets.txt.
function(halcyon_fuzz name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT HALCYON_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  file(APPEND ${CMAKE_BINARY_DIR}/fuzz-targets.txt "${name}\n")
endfunction()
