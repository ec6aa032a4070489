# Windows programs built here run under Wine, each build in a prefix of its own.
set(PUSHNOTE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh ${PUSHNOTE_WINE_PREFIX})
