# Cross-compiles for 64-bit Windows with mingw-w64. Executables run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# NT 5.2: XP x64 and Server 2003 SP2 are the first x64 systems.
set(QUORVANE_PE_VERSION_MINOR 2)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
