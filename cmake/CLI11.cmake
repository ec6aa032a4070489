# CLI11::CLI11, the header-only command line parser (Debian's libcli11-dev).
# A cross build gets a staged copy of the host's CLI/ directory alone, so that
# the rest of the host's /usr/include stays out of the MinGW build.
if(TARGET CLI11::CLI11)
    return()
endif()

if(NOT CMAKE_CROSSCOMPILING)
    find_package(CLI11 CONFIG REQUIRED)
    return()
endif()

find_path(PUSHNOTE_CLI11_HOST_INCLUDE_DIR CLI/CLI.hpp
          PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(staged_include_dir ${CMAKE_BINARY_DIR}/cli11/include)
file(COPY ${PUSHNOTE_CLI11_HOST_INCLUDE_DIR}/CLI DESTINATION ${staged_include_dir})

# Include directories of an imported target are system ones: no warnings from it.
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 INTERFACE ${staged_include_dir})
