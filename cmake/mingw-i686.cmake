# Cross build for 32-bit Windows with the posix-thread mingw-w64 compilers.
# Test executables run under Wine through the crosscompiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(SELVANE_WIDL i686-w64-mingw32-widl CACHE FILEPATH "IDL compiler")
set(SELVANE_OBJDUMP i686-w64-mingw32-objdump CACHE FILEPATH "PE inspector")

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(SELVANE_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${SELVANE_WINE})
