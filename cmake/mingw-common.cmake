# What both MinGW-w64 toolchain files share: the compilers of the posix
# thread model for TARNIX_MINGW_PREFIX, its libraries only, fully static
# programs, and zlib's static library.
set(CMAKE_SYSTEM_NAME Windows)

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
set(ZLIB_USE_STATIC_LIBS ON)
