# Cross-compiles for Windows with MinGW-w64. MINGW_ARCH is i686 for the
# 32-bit programs that ship (the default), or x86_64 for their twin, which
# runs the tests under 64-bit Wine on machines that cannot run 32-bit code
# and ships nothing. The win32-threads variant is used on purpose: the posix
# variant links winpthreads, which imports GetTickCount64 and so keeps the
# program from starting on Windows XP.
set(MINGW_ARCH i686 CACHE STRING "i686 or x86_64")
set_property(CACHE MINGW_ARCH PROPERTY STRINGS i686 x86_64)
# The checks CMake compiles while it configures read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_ARCH})

set(CMAKE_C_COMPILER   ${MINGW_ARCH}-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_ARCH}-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER  ${MINGW_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run under Wine through this wrapper, which also prepares
# the private Wine prefix they need.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../devtools/wine/wine-run.sh)
