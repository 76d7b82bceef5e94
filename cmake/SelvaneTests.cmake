# The one way to add a GoogleTest program.
#   selvane_test_program(<target> SOURCES <files>... [LIBS <libs>...] [DEPENDS <targets>...]
#                        [PLUGIN] [DOUBLES_DIR] [FOLDER <dir>]
#                        [PREFIX <prefix>] [LOCKS <locks>...] [TIMEOUT <s>] [FIXTURES <fixtures>...])
# Natively its tests are discovered as native.<Suite>.<Test>. In the win32
# build it runs under Wine in the private prefix, one ctest entry per TEST
# named <prefix><Suite>.<Test>, from FOLDER (default: the test folder, beside
# the vendor doubles). PLUGIN builds it against the real Selvane.out.dll
# (SELVANE_DLL_PATH); DOUBLES_DIR tells it where the vendor doubles are
# (SELVANE_DOUBLES_DIR), for programs that copy them in themselves.
function(selvane_test_program target)
  cmake_parse_arguments(T "PLUGIN;DOUBLES_DIR" "FOLDER;PREFIX;TIMEOUT"
                        "SOURCES;LIBS;DEPENDS;LOCKS;FIXTURES" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE selvane_support GTest::gtest_main ${T_LIBS})
  if(T_DEPENDS)
    add_dependencies(${target} ${T_DEPENDS})
  endif()
  if(NOT WIN32)
    gtest_discover_tests(${target} TEST_PREFIX native.)
    return()
  endif()

  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/host)
  if(T_PLUGIN)
    target_link_libraries(${target} PRIVATE selvane_interface ole32 oleaut32 uuid)
    target_compile_definitions(${target} PRIVATE SELVANE_DLL_PATH=L"Z:$<TARGET_FILE:selvane_out>")
    add_dependencies(${target} selvane_out)
  endif()
  if(T_DOUBLES_DIR)
    target_compile_definitions(${target} PRIVATE SELVANE_DOUBLES_DIR=L"Z:${SELVANE_TEST_BIN_DIR}")
  endif()
  if(NOT T_FOLDER)
    set(T_FOLDER ${SELVANE_TEST_BIN_DIR})
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${T_FOLDER})

  gtest_add_tests(TARGET ${target} SOURCES ${T_SOURCES} TEST_PREFIX "${T_PREFIX}"
                  TEST_LIST added WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>)
  selvane_wine_test_properties(TESTS ${added} TIMEOUT ${T_TIMEOUT} LOCKS ${T_LOCKS})
  if(T_FIXTURES)
    set_tests_properties(${added} PROPERTIES FIXTURES_REQUIRED "wine;${T_FIXTURES}")
  endif()
endfunction()
