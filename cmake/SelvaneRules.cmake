# The portable rules: every file of core/, host/ and ui/ that does not reach
# <windows.h>, listed here and compiled into one library. The native build
# builds and unit-tests it (each header on its own, too); the DLL links it.
# The test rules.portable fails when a listed file reaches <windows.h> and when
# a file without it is missing here.
set(SELVANE_RULES
  core/automation_error.h
  core/driver_state.h
  core/interface_selector.h
  core/vendor_contract.h
  core/set_channel_rule.h
  core/transmit_tick.h
  core/transmit_tick.cpp
  core/vendor_call_guard.h
  host/dispids.h
  host/settings_text.h
  host/settings_text.cpp
  ui/config_selection.h
  ui/frm_config_layout.h)

set(rules_sources)
foreach(file IN LISTS SELVANE_RULES)
  if(file MATCHES "\\.h$")
    # A header compiles on its own, without <windows.h> and without help.
    string(REPLACE "/" "_" unit ${file})
    set(unit ${CMAKE_BINARY_DIR}/rules/${unit}.cpp)
    file(CONFIGURE OUTPUT ${unit} CONTENT "#include \"${CMAKE_SOURCE_DIR}/${file}\"\n")
    list(APPEND rules_sources ${unit})
  else()
    list(APPEND rules_sources ${CMAKE_SOURCE_DIR}/${file})
  endif()
endforeach()
add_library(selvane_rules STATIC ${rules_sources})
target_include_directories(selvane_rules PUBLIC
  ${CMAKE_SOURCE_DIR}/core ${CMAKE_SOURCE_DIR}/host ${CMAKE_SOURCE_DIR}/ui)

string(REPLACE ";" "," rules_list "${SELVANE_RULES}")
add_test(NAME rules.portable
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DRULES=${rules_list}
          -P ${CMAKE_SOURCE_DIR}/cmake/check_rules.cmake)
