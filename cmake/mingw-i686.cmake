# The product: 32-bit Windows. Test programs run under 32-bit Wine in the project's own prefix.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VORLO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Floating point in SSE2 registers: doubles are rounded to 64 bits after every operation, as in the
# x86-64 build and the native one, instead of being kept in the x87 unit's 80-bit registers (which
# makes results depend on where the compiler spills). SSE2 is in every x86 processor of the last
# twenty years (Windows 8 and later require it). GCC realigns the stack in functions that keep SSE
# values there (-mstackrealign is on by default for this target), so callbacks from the system work.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run;32)
