# Cross build for 64-bit Windows with MinGW-w64 (posix thread model), fully
# static, tests run under 64-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNIX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNIX_MINGW_PREFIX}-windres)
set(CMAKE_STRIP ${TARNIX_MINGW_PREFIX}-strip)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian's wine64 runs 64-bit programs on every machine, also on one whose
# kernel cannot execute 32-bit programs (where plain "wine" cannot start).
find_program(TARNIX_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TARNIX_WINE NAMES wine64 wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNIX_WINE})
set(ZLIB_USE_STATIC_LIBS ON)
