# Cross-compiles for 32-bit Windows with mingw-w64. The executables cannot run on machines
# whose kernel lacks 32-bit emulation; scripts/test.sh checks.
set(CMAKE_SYSTEM_PROCESSOR i686)
# NT 5.1: XP SP3.
set(QUORVANE_PE_VERSION_MINOR 1)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
