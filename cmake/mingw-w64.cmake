# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, which std::thread and std::mutex need). Programs built here run on
# this machine through wine64: CTest and GoogleTest's test discovery start
# them through the emulator set below.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELSEND_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELSEND_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELSEND_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELSEND_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELSEND_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes go into each program: a .exe copied alone to a
# Windows machine must start without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(VELSEND_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(VELSEND_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELSEND_WINE})
endif()
