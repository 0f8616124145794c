# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
# Programs built here run under Wine when CTest runs them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSARIN_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX thread model: GoogleTest needs std::mutex, which the win32 model of
# GCC 12 lacks. With -static the thread library is linked in, not shipped.
set(CMAKE_C_COMPILER ${TESSARIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSARIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSARIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A statically linked runtime: the program is one .exe to copy anywhere.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run through Wine; the tests' own scripts give each run its prefix.
find_program(TESSARIN_WINE NAMES wine wine64)
if(TESSARIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARIN_WINE})
endif()
