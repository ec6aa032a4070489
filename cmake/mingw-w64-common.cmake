# Shared part of the MinGW-w64 cross toolchains (posix or win32 thread flavour);
# the including file sets PUSHNOTE_MINGW_PREFIX and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

foreach(flavour posix win32 "")
    if(flavour)
        set(suffix "-${flavour}")
    else()
        set(suffix "")
    endif()
    find_program(PUSHNOTE_MINGW_CXX ${PUSHNOTE_MINGW_PREFIX}-g++${suffix})
    find_program(PUSHNOTE_MINGW_CC ${PUSHNOTE_MINGW_PREFIX}-gcc${suffix})
    if(PUSHNOTE_MINGW_CXX AND PUSHNOTE_MINGW_CC)
        break()
    endif()
endforeach()

set(CMAKE_C_COMPILER ${PUSHNOTE_MINGW_CC})
set(CMAKE_CXX_COMPILER ${PUSHNOTE_MINGW_CXX})
set(CMAKE_RC_COMPILER ${PUSHNOTE_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PUSHNOTE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

