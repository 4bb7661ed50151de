# What both mingw-w64 toolchains share; included by mingw-w64-x86_64.cmake and
# mingw-w64-i686.cmake after they set CMAKE_SYSTEM_PROCESSOR and QUORVANE_PE_VERSION_MINOR.
set(CMAKE_SYSTEM_NAME Windows)
set(MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
# NT 5.x: each architecture file sets the minor version of its oldest system.
set(QUORVANE_PE_VERSION_MAJOR 5)

# The win32 thread model: the posix one brings winpthreads, whose GetTickCount64 and SRW
# locks XP and Server 2003 lack.
set(CMAKE_C_COMPILER   ${MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Static runtime: no libstdc++/libgcc DLL has to travel with the executables. The PE
# header names the oldest system the tree targets as its subsystem and OS version
# (scripts/check-imports.sh holds it there), not the linker's defaults (4.0; subsystem
# 5.2 on x64).
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static -static-libgcc -static-libstdc++ \
-Wl,--major-subsystem-version,${QUORVANE_PE_VERSION_MAJOR},--minor-subsystem-version,${QUORVANE_PE_VERSION_MINOR},\
--major-os-version,${QUORVANE_PE_VERSION_MAJOR},--minor-os-version,${QUORVANE_PE_VERSION_MINOR}")

find_program(WINE_EXECUTABLE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
