# Reliability suite of the real DLL under Wine: bad arguments, vendor and
# registry faults, unloading, load and threads.

# Late-bound calls with every argument type and call shape.
selvane_plugin_test_program(bad_argument_matrix_test SOURCES bad_argument_matrix_test.cpp DEPENDS DMX510)
# Valid Configure calls open the dialog, which the test closes.
selvane_wine_gtest(bad_argument_matrix_test PREFIX wine.reliability. SOURCES bad_argument_matrix_test.cpp
  LOCKS ui TIMEOUT 180)

# Vendor faults: the program lives in a folder without the doubles and copies
# the DLL and the doubles it needs into a private folder at run time.
set(SELVANE_FAULTS_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests-faults)
add_executable(reliability_faults_test reliability_faults_test.cpp)
target_link_libraries(reliability_faults_test PRIVATE selvane_interface selvane_win_test_support
  GTest::gtest_main ole32 oleaut32 uuid)
target_compile_definitions(reliability_faults_test PRIVATE
  SELVANE_DLL_PATH=L"Z:$<TARGET_FILE:selvane_out>" SELVANE_DOUBLES_DIR=L"Z:${SELVANE_TEST_BIN_DIR}")
set_target_properties(reliability_faults_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SELVANE_FAULTS_TEST_BIN_DIR})
add_dependencies(reliability_faults_test selvane_out DMX60 DMX120 DMX510 NoEntry CdeclEntry)
# One process at a time owns the private folders beside the program.
selvane_wine_gtest(reliability_faults_test PREFIX wine.reliability. SOURCES reliability_faults_test.cpp
  LOCKS faults_folder timing)

# The settings store under faults.
selvane_plugin_test_program(reliability_registry_test SOURCES reliability_registry_test.cpp LIBS advapi32 DEPENDS DMX60 DMX120 DMX510)
selvane_wine_gtest(reliability_registry_test PREFIX wine.reliability. SOURCES reliability_registry_test.cpp)

# Unloading the registered server.
selvane_plugin_test_program(reliability_unload_test SOURCES reliability_unload_test.cpp DEPENDS DMX60)
selvane_wine_gtest(reliability_unload_test PREFIX wine.reliability. SOURCES reliability_unload_test.cpp)
set_tests_properties(${SELVANE_LAST_WINE_TESTS} PROPERTIES FIXTURES_REQUIRED "wine;registered")

# Load and threads: leak figures of long late-bound loops; four host threads.
selvane_plugin_test_program(reliability_load_test SOURCES reliability_load_test.cpp LIBS psapi DEPENDS DMX510)
# CPU-bound: kept apart from the tests that measure tick timing.
selvane_wine_gtest(reliability_load_test PREFIX wine.reliability. SOURCES reliability_load_test.cpp
  LOCKS timing TIMEOUT 240)
