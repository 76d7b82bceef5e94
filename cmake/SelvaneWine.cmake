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
  add_test(NAME wine.start COMMAND bash ${CMAKE_SOURCE_DIR}/tools/wine/wine-start.sh ${CMAKE_BINARY_DIR})
  # The first run on a machine makes the prefix template: about 15 s where 32-bit code is emulated.
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine RESOURCE_LOCK wineserver TIMEOUT 300)
  add_test(NAME wine.stop COMMAND bash ${CMAKE_SOURCE_DIR}/tools/wine/wine-stop.sh ${CMAKE_BINARY_DIR})
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
