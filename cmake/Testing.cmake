# Helpers shared by every folder's tests.
#
# add_unit_test(NAME SOURCES... [LIBS libs...])
#   builds a GoogleTest binary and registers it as one ctest test; under a cross build
#   ctest runs it through CMAKE_CROSSCOMPILING_EMULATOR.
#
# add_script_test(NAME SCRIPT [ARGS...])
#   registers a python3 integration test. The script finds the programs through BIN_DIR
#   and prefixes each run with EMULATOR (empty on a native build).

set(TEST_EMULATOR "")
if(CMAKE_CROSSCOMPILING_EMULATOR)
  string(JOIN " " TEST_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()

function(add_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

find_program(PYTHON3 python3 REQUIRED)

function(add_script_test name script)
  if(NOT BUILD_TESTS)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${PYTHON3} ${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "BIN_DIR=${CMAKE_BINARY_DIR}/bin;EMULATOR=${TEST_EMULATOR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/lib;PYTHONDONTWRITEBYTECODE=1"
    TIMEOUT 300)
endfunction()
