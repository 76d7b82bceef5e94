# The settings record against the real registry, and the "Konfiguration"
# dialog driven headless, both linked statically.
add_executable(settings_store_test settings_store_test.cpp)
target_link_libraries(settings_store_test PRIVATE selvane_settings GTest::gtest_main)
set_target_properties(settings_store_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SELVANE_TEST_BIN_DIR})
selvane_wine_gtest(settings_store_test PREFIX wine.settings. SOURCES settings_store_test.cpp)

add_executable(frm_config_test frm_config_test.cpp)
target_link_libraries(frm_config_test PRIVATE selvane_ui selvane_core_win GTest::gtest_main)
set_target_properties(frm_config_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SELVANE_TEST_BIN_DIR})
selvane_wine_gtest(frm_config_test PREFIX wine.dialog. SOURCES frm_config_test.cpp LOCKS ui)
