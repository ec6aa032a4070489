# 32-bit Windows, the platform PushNote.dll ships for.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PUSHNOTE_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
