# The scripting host's type library (library "Scripter", dispatch interface IZScriptHost), made by widl
# when the build is configured and compiled as resource 3 into every program that links the host
# classes (the player control's type library is resource 2).
set(scripter_idl ${CMAKE_CURRENT_LIST_DIR}/script_host.idl)
set(scripter_tlb ${CMAKE_CURRENT_BINARY_DIR}/scripter.tlb)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${scripter_idl})
execute_process(COMMAND ${VORLO_WIDL} -I${VORLO_WINE_IDL_DIR} -L${VORLO_STDOLE_DIR} -t -o ${scripter_tlb}
                        ${scripter_idl}
                RESULT_VARIABLE scripter_status ERROR_VARIABLE scripter_errors)
if(NOT scripter_status EQUAL 0)
  message(FATAL_ERROR "widl could not build the Scripter type library: ${scripter_errors}")
endif()
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/scripter.rc
  CONTENT "// The scripting host's type library, built by widl from host/com/script_host.idl.\n3 TYPELIB \"${scripter_tlb}\"\n")
target_sources(vorlo_host INTERFACE ${CMAKE_CURRENT_BINARY_DIR}/scripter.rc)
