# 64-bit Windows with Debian's mingw-w64 (POSIX threads, for std::thread and
# std::mutex). LORK_WIN_PREFIXES lists the cross-built Qt and GoogleTest;
# ctest runs the tests under wine (scripts/windows/wine-run finds the DLLs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(LORK_WIN_PREFIXES "$ENV{LORK_WIN_PREFIXES}" CACHE STRING "Install trees built for mingw-w64")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${LORK_WIN_PREFIXES})
set(CMAKE_PREFIX_PATH ${LORK_WIN_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-run)
