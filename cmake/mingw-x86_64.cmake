# The same Windows code built for x86-64, so the Windows tests run under 64-bit Wine on machines that
# cannot execute 32-bit processes (sandboxed kernels without 32-bit support).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORLO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run;64)
