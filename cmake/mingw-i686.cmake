# The product: 32-bit Windows. Test programs run under 32-bit Wine in the project's own prefix.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VORLO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run;32)
