# The settings record: ChannelCount in the per-user registry store.
add_library(selvane_settings STATIC ${CMAKE_CURRENT_LIST_DIR}/settings_store.cpp)
target_include_directories(selvane_settings PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(selvane_settings PUBLIC selvane_rules advapi32)
selvane_dll_code(selvane_settings)
