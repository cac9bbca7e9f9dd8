# Writes a delay-loading import library: cmake -DNM= -DDLLTOOL= -DIMPORT_LIBRARY= -DOUTPUT=
# -DPOINTER_SIZE= [-DEARLIER_LIBRARIES=LIB|LIB...] -P make_delay_import.cmake. The exports are
# those of IMPORT_LIBRARY, the toolchain's ordinary import library for the same DLL, read from
# its __imp_ symbols, less those that one of EARLIER_LIBRARIES names too.
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

# The names an import library gives the linker, into the variable named by out.
function(import_names library out)
    execute_process(COMMAND ${NM} ${library} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL " I ${prefix}[^\n]+" imports "${symbols}")
    set(names)
    foreach(import IN LISTS imports)
        string(REPLACE " I ${prefix}" "" name "${import}")
        list(APPEND names "${name}")
    endforeach()
    list(REMOVE_DUPLICATES names)
    set(${out} ${names} PARENT_SCOPE)
endfunction()

import_names(${IMPORT_LIBRARY} exports)
string(REPLACE "|" ";" earlier_libraries "${EARLIER_LIBRARIES}")
foreach(earlier IN LISTS earlier_libraries)
    import_names(${earlier} taken)
    if(taken)
        list(REMOVE_ITEM exports ${taken})
    endif()
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
