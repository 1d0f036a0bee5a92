# Cross build for 32-bit Windows with Debian's MinGW-w64 (posix threading model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TV_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TV_MINGW_TRIPLET}-windres)

# Headers and libraries come from the MinGW sysroot only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
