# Delay-loaded imports: a DLL named here is loaded by the first call into it rather than when
# the process starts, so a run that never calls into it never pays for loading it.
#
# plinthora_delay_load(TARGET DLL...) makes, for each DLL, an import library that delay-loads
# it, with every export of the toolchain's own import library, and puts their folder first on
# TARGET's library path: the -l<DLL> that TARGET's libraries ask for then finds it. Only
# TARGET's link changes; other programs that link the same libraries import as before.
#
# An import library may also name functions that another DLL provides (shell32's names
# shlwapi's string functions, which shell32 only forwards). A delayed DLL's library leaves out
# what a DLL loaded at start-up or an earlier DLL of the list names, so that the link takes
# every function from the DLL that really provides it, whatever the link order.
set(PLINTHORA_START_UP_DLLS kernel32 advapi32)

# The static libraries target links, directly or through other libraries.
function(plinthora_static_libraries target out)
    set(found ${${out}})
    get_target_property(linked ${target} LINK_LIBRARIES)
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    foreach(library IN LISTS linked interface)
        if(TARGET ${library} AND NOT library IN_LIST found)
            get_target_property(type ${library} TYPE)
            if(type STREQUAL "STATIC_LIBRARY")
                list(APPEND found ${library})
                plinthora_static_libraries(${library} found)
            endif()
        endif()
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

function(plinthora_delay_load target)
    set(folder ${CMAKE_BINARY_DIR}/delay_imports/${target})
    set(script ${CMAKE_SOURCE_DIR}/cmake/make_delay_import.cmake)
    set(excluded)
    foreach(dll IN LISTS PLINTHORA_START_UP_DLLS)
        find_library(PLINTHORA_IMPORT_LIBRARY_${dll} NAMES ${dll} REQUIRED)
        list(APPEND excluded ${PLINTHORA_IMPORT_LIBRARY_${dll}})
    endforeach()
    set(libraries)
    foreach(dll IN LISTS ARGN)
        find_library(PLINTHORA_IMPORT_LIBRARY_${dll} NAMES ${dll} REQUIRED)
        set(library ${folder}/lib${dll}.a)
        list(JOIN excluded "," excluded_list)
        add_custom_command(OUTPUT ${library}
            COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
                    -DIMPORT_LIBRARY=${PLINTHORA_IMPORT_LIBRARY_${dll}} -DOUTPUT=${library}
                    -DEXCLUDED_LIBRARIES=${excluded_list}
                    -DPOINTER_SIZE=${CMAKE_SIZEOF_VOID_P} -P ${script}
            DEPENDS ${script} ${PLINTHORA_IMPORT_LIBRARY_${dll}} ${excluded}
            COMMENT "Delay-loading import library for ${dll}"
            VERBATIM)
        list(APPEND libraries ${library})
        list(APPEND excluded ${PLINTHORA_IMPORT_LIBRARY_${dll}})
    endforeach()
    # The 32-bit linker keeps a delayed function's stub only when something names it: the
    # link is told the name of each one the program calls, found in its objects just before.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(static_libraries)
        plinthora_static_libraries(${target} static_libraries)
        set(inputs "$<JOIN:$<TARGET_OBJECTS:${target}>,|>")
        foreach(library IN LISTS static_libraries)
            string(APPEND inputs "|$<TARGET_FILE:${library}>")
        endforeach()
        list(JOIN libraries "|" delay_libraries)
        set(options_file ${folder}/keep_stubs.rsp)
        add_custom_command(TARGET ${target} PRE_LINK
            COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} "-DINPUTS=${inputs}" "-DDELAY_LIBRARIES=${delay_libraries}"
                    -DOUTPUT=${options_file} -P ${CMAKE_SOURCE_DIR}/cmake/keep_delay_stubs.cmake
            VERBATIM)
        target_link_options(${target} PRIVATE "@${options_file}")
    endif()
    add_custom_target(${target}_delay_imports DEPENDS ${libraries})
    add_dependencies(${target} ${target}_delay_imports)
    target_link_directories(${target} BEFORE PRIVATE ${folder})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
endfunction()
