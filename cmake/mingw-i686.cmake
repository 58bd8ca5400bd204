# Cross build for 32-bit Windows with MinGW-w64 (posix thread model), fully
# static, tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNIX_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

find_program(TARNIX_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNIX_WINE})
