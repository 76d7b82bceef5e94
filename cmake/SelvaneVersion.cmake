# The release version lives only in project(VERSION): the version resource,
# selvane-host --version, the installer and the release file names take it
# from here.
set(SELVANE_VERSION_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/selvane_version.h.in ${SELVANE_VERSION_DIR}/selvane_version.h @ONLY)
# For scripts (tools/release.sh) that package a configured build.
file(WRITE ${CMAKE_BINARY_DIR}/selvane-version.txt "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}\n")

add_library(selvane_version INTERFACE)
target_include_directories(selvane_version INTERFACE ${SELVANE_VERSION_DIR})
