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

function(plinthora_delay_load target)
    # The 32-bit linker drops the stub that loads a delayed DLL at the first call, because
    # the program calls through the import slot and never names the stub; the slot would
    # then hold zero. So 32-bit builds import these DLLs at start-up, as tools/check-imports.sh
    # expects.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        return()
    endif()
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
    add_custom_target(${target}_delay_imports DEPENDS ${libraries})
    add_dependencies(${target} ${target}_delay_imports)
    target_link_directories(${target} BEFORE PRIVATE ${folder})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
endfunction()
