# What every type library of ours is built with (the player control's, the scripting host's, the COM
# test server's): widl, Wine's IDL files (Debian libwine-dev) and the standard OLE type library of a
# Wine install. Windows builds only.
find_program(VORLO_WIDL NAMES ${VORLO_MINGW_TRIPLE}-widl widl REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(VORLO_WINE_IDL_DIR /usr/include/wine/wine/windows)
if(NOT EXISTS ${VORLO_WINE_IDL_DIR}/oaidl.idl)
  message(FATAL_ERROR "Wine's IDL files are missing (Debian libwine-dev): run scripts/setup")
endif()
foreach(dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows
            /usr/lib/wine/x86_64-windows /usr/lib/wine/i386-windows)
  if(NOT VORLO_STDOLE_DIR AND EXISTS ${dir}/stdole2.tlb)
    set(VORLO_STDOLE_DIR ${dir})
  endif()
endforeach()
if(NOT VORLO_STDOLE_DIR)
  message(FATAL_ERROR "Wine's stdole2.tlb is missing (Debian wine64 or wine32): run scripts/setup")
endif()
