# Checks the list of portable rules (cmake/SelvaneRules.cmake) against the
# sources of core/, host/ and ui/: a listed file must not reach <windows.h>,
# and every file that does not reach it must be listed, so that the native
# build compiles it.
# Usage: cmake -DSOURCE_DIR=<dir> -DRULES=<file,file,...> -P check_rules.cmake
string(REPLACE "," ";" rules "${RULES}")
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/core/*.h ${SOURCE_DIR}/core/*.cpp
  ${SOURCE_DIR}/host/*.h ${SOURCE_DIR}/host/*.cpp
  ${SOURCE_DIR}/ui/*.h ${SOURCE_DIR}/ui/*.cpp)

foreach(file IN LISTS sources)
  get_filename_component(name ${file} NAME)
  set(path_of_${name} ${file})
endforeach()

# Why `file` reaches <windows.h>, or empty when it does not. A platform header
# (an angle-bracket include ending in .h) counts as Windows, and so does a
# quoted include that is not one of these sources (the IDL's generated header).
function(windows_reason file out)
  get_property(known GLOBAL PROPERTY reason_known_${file} SET)
  if(known)
    get_property(reason GLOBAL PROPERTY reason_of_${file})
    set(${out} "${reason}" PARENT_SCOPE)
    return()
  endif()
  set_property(GLOBAL PROPERTY reason_known_${file} TRUE)  # an include cycle ends here
  set(reason "")
  file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "<([^>]+\\.h)>")
      set(reason "${file} includes <${CMAKE_MATCH_1}>")
    elseif(line MATCHES "\"([^\"]+)\"")
      get_filename_component(name ${CMAKE_MATCH_1} NAME)
      if(NOT DEFINED path_of_${name})
        set(reason "${file} includes \"${CMAKE_MATCH_1}\", which is not a portable source")
      else()
        windows_reason(${path_of_${name}} inner)
        if(inner)
          set(reason "${file} includes \"${name}\": ${inner}")
        endif()
      endif()
    endif()
    if(reason)
      break()
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY reason_of_${file} "${reason}")
  set(${out} "${reason}" PARENT_SCOPE)
endfunction()

set(failures 0)
foreach(file IN LISTS rules)
  if(NOT EXISTS ${SOURCE_DIR}/${file})
    message(SEND_ERROR "${file} is listed as a rule but does not exist")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  windows_reason(${file} reason)
  if(reason)
    message(SEND_ERROR "${file} is a portable rule and must not reach <windows.h>: ${reason}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
foreach(file IN LISTS sources)
  windows_reason(${file} reason)
  list(FIND rules ${file} listed)
  if(NOT reason AND listed EQUAL -1)
    message(SEND_ERROR "${file} does not reach <windows.h>: list it in SELVANE_RULES "
                       "(cmake/SelvaneRules.cmake) so that the native build compiles and tests it")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
list(LENGTH rules count)
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} problem(s) with the portable rules")
endif()
message(STATUS "${count} portable rules, none reaches <windows.h>, none missing")
