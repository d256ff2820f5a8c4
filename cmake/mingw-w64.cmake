# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
# The posix thread model is the one whose C++ runtime has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ROSE_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ROSE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ROSE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ROSE_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ROSE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C++ runtime, libgcc and winpthreads linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine (Debian's wine64 has no wrapper in PATH), in a Wine prefix of
# the build's own, quiet.
find_program(ROSE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ROSE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine
    WINEDEBUG=-all WINE=${ROSE_WINE} sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
