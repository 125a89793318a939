# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers.
#
# The "posix" thread model of the compilers: std::thread, std::mutex and
# std::condition_variable need it with GCC 12 (the "win32" model has none of
# them). Its winpthreads runtime, libstdc++ and libgcc are linked statically,
# so each .exe runs alone, with only system DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANTOR_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VANTOR_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTOR_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTOR_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTOR_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs built here run under Wine (Debian's 64-bit loader).
find_program(VANTOR_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT VANTOR_WINE)
  find_program(VANTOR_WINE NAMES wine64 wine)
endif()
if(VANTOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTOR_WINE})
endif()
