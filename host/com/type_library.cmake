# The scripting host's type library (library "Scripter", dispatch interface IZScriptHost), made by widl
# when the build is configured and compiled as resource 3 into every program that links the host
# classes (the player control's type library is resource 2).
find_program(VORLO_WIDL NAMES ${VORLO_MINGW_TRIPLE}-widl widl REQUIRED NO_CMAKE_FIND_ROOT_PATH)
foreach(dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows
            /usr/lib/wine/x86_64-windows /usr/lib/wine/i386-windows)
  if(NOT scripter_stdole_dir AND EXISTS ${dir}/stdole2.tlb)
    set(scripter_stdole_dir ${dir})
  endif()
endforeach()
set(scripter_idl ${CMAKE_CURRENT_LIST_DIR}/script_host.idl)
set(scripter_tlb ${CMAKE_CURRENT_BINARY_DIR}/scripter.tlb)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${scripter_idl})
execute_process(COMMAND ${VORLO_WIDL} -I/usr/include/wine/wine/windows -L${scripter_stdole_dir} -t -o ${scripter_tlb}
                        ${scripter_idl}
                RESULT_VARIABLE scripter_status ERROR_VARIABLE scripter_errors)
if(NOT scripter_status EQUAL 0)
  message(FATAL_ERROR "widl could not build the Scripter type library: ${scripter_errors}")
endif()
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/scripter.rc
  CONTENT "// The scripting host's type library, built by widl from host/com/script_host.idl.\n3 TYPELIB \"${scripter_tlb}\"\n")
target_sources(vorlo_host INTERFACE ${CMAKE_CURRENT_BINARY_DIR}/scripter.rc)
