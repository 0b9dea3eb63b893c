# Helpers shared by every folder's tests; included only when BUILD_TESTS is on, before tests/.
#
# add_unit_test(NAME SOURCES... [LIBS libs...])
#   builds a GoogleTest binary and registers it as one ctest test; under a cross build
#   ctest runs it through CMAKE_CROSSCOMPILING_EMULATOR.
#
# add_script_test(NAME SCRIPT [ARGS...])
#   registers a python3 integration test. The script finds the programs through BIN_DIR
#   and prefixes each run with EMULATOR (empty on a native build); HOST_BIN_DIR (set only
#   under emulation) holds the programs in a form that a shell can start.

if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(FATAL_ERROR "cross build without an emulator for the tests: install qemu-user "
                      "(bash scripts/cross.sh does) or configure with -DBUILD_TESTS=OFF")
endif()
set(TEST_EMULATOR "")
set(TEST_HOST_BIN_DIR "")
if(CMAKE_CROSSCOMPILING_EMULATOR)
  string(JOIN " " TEST_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
  set(TEST_HOST_BIN_DIR ${CMAKE_BINARY_DIR}/bin-host)
endif()

# Under emulation a shell cannot start a target program (no binfmt): a program that runs
# another of ours through system() or popen() (a stand-in of an appliance command, say) gets
# it from bin-host/, which holds one small script per executable that starts it under the
# emulator. The integration tests see that folder as HOST_BIN_DIR.
function(_emulator_wrappers_in dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE")
      file(GENERATE OUTPUT ${TEST_HOST_BIN_DIR}/$<TARGET_FILE_NAME:${t}>
           CONTENT "#!/bin/sh\nexec ${TEST_EMULATOR} \"$<TARGET_FILE:${t}>\" \"$@\"\n"
           FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                            WORLD_READ WORLD_EXECUTE)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(d ${subdirs})
    _emulator_wrappers_in(${d})
  endforeach()
endfunction()
function(_emulator_wrappers)
  _emulator_wrappers_in(${CMAKE_SOURCE_DIR})
endfunction()
if(TEST_HOST_BIN_DIR)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _emulator_wrappers)
endif()

function(add_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

find_program(PYTHON3 python3 REQUIRED)

# Under SANITIZE, a test that preloads a stand-in library puts the sanitizer runtime in front
# of it (SANITIZER_PRELOAD): the runtime must come first in the process's library list.
set(TEST_SANITIZER_PRELOAD "")
if(SANITIZE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE TEST_SANITIZER_PRELOAD OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()

function(add_script_test name script)
  add_test(NAME ${name} COMMAND ${PYTHON3} ${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "BIN_DIR=${CMAKE_BINARY_DIR}/bin;EMULATOR=${TEST_EMULATOR};HOST_BIN_DIR=${TEST_HOST_BIN_DIR};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/lib;PYTHONDONTWRITEBYTECODE=1;SANITIZER_PRELOAD=${TEST_SANITIZER_PRELOAD}"
    TIMEOUT 300)
endfunction()
