# Cross-compiles for 32-bit Windows with Debian's mingw-w64 and runs the
# resulting programs under wine (scripts/windows-run.sh).
#
# PARLINO_MINGW_THREADS picks the compiler's thread model: "win32" (default)
# for the shipped DLL and host, which then need no winpthread at all; "posix"
# for the GoogleTest suites, since GoogleTest needs std::mutex, which GCC 12's
# win32 model lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PARLINO_MINGW_THREADS win32 CACHE STRING "mingw-w64 thread model: win32 or posix")
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${PARLINO_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${PARLINO_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Under wine here, or inside the emulated machine where 32-bit code cannot run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-run.sh)
