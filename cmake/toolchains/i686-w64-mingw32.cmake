# Cross-builds the plug-ins as 32-bit Windows DLLs with Debian's MinGW-w64
# (posix thread model: the win32 one has no std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(TAVREL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVREL_MINGW_TRIPLE}-windres)

# Static libraries built for the target by tools/setup-windows.sh.
if(DEFINED ENV{TAVREL_MINGW_PREFIX})
  set(TAVREL_MINGW_PREFIX "$ENV{TAVREL_MINGW_PREFIX}" CACHE PATH "Static libraries built for the target")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TAVREL_MINGW_TRIPLE} ${TAVREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 arithmetic, as in the 64-bit Linux build: the x87 unit's wider
# intermediates would round the audio differently from it. Hosts call in
# with a stack aligned to 4 bytes only, so functions that need 16 for SSE
# realign it themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
