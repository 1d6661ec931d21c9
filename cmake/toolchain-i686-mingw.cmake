# Cross compilation for 32-bit Windows with the posix-thread flavour of mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(QIRN_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QIRN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QIRN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QIRN_TRIPLE}-windres)
set(CMAKE_AR ${QIRN_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${QIRN_TRIPLE}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${QIRN_TRIPLE})
if(DEFINED ENV{QIRN_DEPS})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{QIRN_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No x87: all floating point goes through SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# Programs carry their runtime: no mingw DLLs to ship next to them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
