# Cross-compiles for 64-bit Windows with mingw-w64. The win32 thread model: the posix one
# brings winpthreads, whose GetTickCount64 and SRW locks XP x64 and Server 2003 lack.
# Executables run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
# NT 5.2: XP x64 and Server 2003 SP2 are the first x64 systems.
set(QUORVANE_PE_VERSION_MAJOR 5)
set(QUORVANE_PE_VERSION_MINOR 2)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
