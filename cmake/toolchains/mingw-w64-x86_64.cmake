# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (package g++-mingw-w64-x86-64-posix).
# The -posix compilers carry std::thread and friends; the C++ runtime, libgcc and winpthread are linked
# in statically, so the programs need no DLL beyond those every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HZ70_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HZ70_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HZ70_MINGW_PREFIX}-g++-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${HZ70_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

