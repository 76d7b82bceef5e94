# Wine test support: every Windows test runs in the private prefix of this
# build folder, against one persistent wineserver that the run starts and stops.
set(SELVANE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(SELVANE_WINE_ENV
  "WINEPREFIX=${SELVANE_WINE_PREFIX}"
  "WINEARCH=win32"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml="
  "DISPLAY=")
set(SELVANE_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests-bin)
# Test programs that must not find the vendor doubles beside themselves.
set(SELVANE_BARE_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests-bare)

if(NOT TARGET selvane_wine_fixture)
  add_custom_target(selvane_wine_fixture)
  add_test(NAME wine.start COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/wine-start.sh ${CMAKE_BINARY_DIR})
  # The first run on a machine makes the prefix template: minutes where 32-bit code is emulated.
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine RESOURCE_LOCK wineserver TIMEOUT 1800)
  add_test(NAME wine.stop COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/wine-stop.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine RESOURCE_LOCK wineserver)
endif()

# Marks tests as Wine tests: the prefix environment and the server fixture.
function(selvane_wine_test_properties)
  cmake_parse_arguments(W "" "TIMEOUT" "TESTS;LOCKS" ${ARGN})
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 120)
  endif()
  set_tests_properties(${W_TESTS} PROPERTIES
    ENVIRONMENT "${SELVANE_WINE_ENV}"
    FIXTURES_REQUIRED wine
    TIMEOUT ${W_TIMEOUT})
  if(W_LOCKS)
    set_tests_properties(${W_TESTS} PROPERTIES RESOURCE_LOCK "${W_LOCKS}")
  endif()
endfunction()

# A GoogleTest program run under Wine, one ctest entry per TEST.
function(selvane_wine_gtest target)
  cmake_parse_arguments(G "" "PREFIX;TIMEOUT" "SOURCES;LOCKS" ${ARGN})
  gtest_add_tests(TARGET ${target} SOURCES ${G_SOURCES} TEST_PREFIX "${G_PREFIX}"
                  TEST_LIST added WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>)
  selvane_wine_test_properties(TESTS ${added} TIMEOUT ${G_TIMEOUT} LOCKS ${G_LOCKS})
  set(SELVANE_LAST_WINE_TESTS ${added} PARENT_SCOPE)
endfunction()

# A test program against the real Selvane.out.dll, built beside the vendor doubles.
function(selvane_plugin_test_program target)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${target} ${P_SOURCES})
  target_link_libraries(${target} PRIVATE selvane_interface selvane_win_test_support GTest::gtest_main
    ole32 oleaut32 uuid ${P_LIBS})
  target_compile_definitions(${target} PRIVATE SELVANE_DLL_PATH=L"Z:$<TARGET_FILE:selvane_out>")
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SELVANE_TEST_BIN_DIR})
  add_dependencies(${target} selvane_out ${P_DEPENDS})
endfunction()
