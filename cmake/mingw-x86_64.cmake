# Cross build for 64-bit Windows with MinGW-w64 (posix thread model), fully
# static, tests run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARNIX_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Debian's wine64 runs 64-bit programs on every machine, also on one whose
# kernel cannot execute 32-bit programs (where plain "wine" cannot start).
find_program(TARNIX_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TARNIX_WINE NAMES wine64 wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNIX_WINE})
