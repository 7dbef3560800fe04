# Cross-build for 64-bit Windows with the mingw-w64 POSIX-thread compilers:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# QJ_MINGW_ARCH=i686 selects 32-bit Windows instead.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT QJ_MINGW_ARCH)
  set(QJ_MINGW_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${QJ_MINGW_ARCH})
set(QJ_MINGW_TRIPLE ${QJ_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${QJ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QJ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QJ_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QJ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained executable: the C++ runtime and the thread library are
# linked in, so nothing but system DLLs has to lie beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_LINK_SEARCH_START_STATIC ON)
set(CMAKE_LINK_SEARCH_END_STATIC ON)

# Test programs run through Wine when CMake or CTest has to start them.
find_program(QJ_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(QJ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QJ_WINE})
endif()
