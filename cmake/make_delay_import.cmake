# Writes a delay-loading import library: cmake -DNM= -DDLLTOOL= -DIMPORT_LIBRARY= -DOUTPUT=
# -DPOINTER_SIZE= -DEXCLUDED_LIBRARIES= -P make_delay_import.cmake. The exports are those of
# IMPORT_LIBRARY, the toolchain's ordinary import library for the same DLL, read from its __imp_
# symbols, less those that any of the comma-separated EXCLUDED_LIBRARIES also exports.
execute_process(COMMAND ${DLLTOOL} --identify ${IMPORT_LIBRARY}
                OUTPUT_VARIABLE dll_name OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
string(REGEX REPLACE "\n.*" "" dll_name "${dll_name}")

# 32-bit symbols carry one more leading underscore, and their stdcall names keep their @n in
# the definition file; --kill-at then imports them by the plain name.
if(POINTER_SIZE EQUAL 4)
    set(prefix "__imp__")
    set(kill_at --kill-at)
else()
    set(prefix "__imp_")
    set(kill_at)
endif()
# The names an import library's __imp_ symbols give, one list entry each.
function(imported_names library out)
    execute_process(COMMAND ${NM} ${library} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL " I ${prefix}[^\n]+" imports "${symbols}")
    list(TRANSFORM imports REPLACE " I ${prefix}" "")
    list(REMOVE_DUPLICATES imports)
    set(${out} ${imports} PARENT_SCOPE)
endfunction()

imported_names(${IMPORT_LIBRARY} exports)
string(REPLACE "," ";" excluded_libraries "${EXCLUDED_LIBRARIES}")
foreach(library IN LISTS excluded_libraries)
    imported_names(${library} excluded)
    list(REMOVE_ITEM exports ${excluded})
endforeach()
list(JOIN exports "\n" export_lines)

get_filename_component(folder ${OUTPUT} DIRECTORY)
get_filename_component(stem ${OUTPUT} NAME_WE)
file(MAKE_DIRECTORY ${folder})
set(definition ${folder}/${stem}.def)
file(WRITE ${definition} "LIBRARY \"${dll_name}\"\nEXPORTS\n${export_lines}\n")
execute_process(COMMAND ${DLLTOOL} --input-def ${definition} --dllname ${dll_name} ${kill_at}
                        --output-delaylib ${OUTPUT}
                COMMAND_ERROR_IS_FATAL ANY)
