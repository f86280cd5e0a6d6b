# Cross-builds the plug-ins as Windows DLLs with Debian's MinGW-w64 (posix
# thread model: the win32 one has no std::mutex). The target is the one
# setting TAVREL_MINGW_TRIPLE, given with -D or in the environment:
# i686-w64-mingw32 (32-bit) or x86_64-w64-mingw32 (64-bit).
if(NOT TAVREL_MINGW_TRIPLE AND DEFINED ENV{TAVREL_MINGW_TRIPLE})
  set(TAVREL_MINGW_TRIPLE "$ENV{TAVREL_MINGW_TRIPLE}")
endif()
if(TAVREL_MINGW_TRIPLE STREQUAL "i686-w64-mingw32")
  set(CMAKE_SYSTEM_PROCESSOR x86)
  set(TAVREL_WINDOWS_ARCH x86)
elseif(TAVREL_MINGW_TRIPLE STREQUAL "x86_64-w64-mingw32")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
  set(TAVREL_WINDOWS_ARCH x64)
else()
  message(FATAL_ERROR "TAVREL_MINGW_TRIPLE must be i686-w64-mingw32 or x86_64-w64-mingw32, not '${TAVREL_MINGW_TRIPLE}'")
endif()
set(TAVREL_MINGW_TRIPLE "${TAVREL_MINGW_TRIPLE}" CACHE STRING "The Windows target's MinGW-w64 triple")
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TAVREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVREL_MINGW_TRIPLE}-windres)

# Static libraries built for the target by tools/setup-windows.sh.
if(DEFINED ENV{TAVREL_MINGW_PREFIX})
  set(TAVREL_MINGW_PREFIX "$ENV{TAVREL_MINGW_PREFIX}" CACHE PATH "Static libraries built for the target")
endif()
# The checks CMake compiles read this file again, in a project of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVREL_MINGW_TRIPLE TAVREL_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVREL_MINGW_TRIPLE} ${TAVREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(TAVREL_WINDOWS_ARCH STREQUAL "x86")
  # SSE2 arithmetic, as in the 64-bit builds: the x87 unit's wider
  # intermediates would round the audio differently from them. 32-bit hosts
  # call in with a stack aligned to 4 bytes only, so functions that need 16
  # for SSE realign it themselves. The 64-bit convention has both already.
  set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
  set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
endif()
