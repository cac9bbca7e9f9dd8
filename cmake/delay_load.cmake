# Delay-loaded imports: a DLL named here is loaded by the first call into it rather than when
# the process starts, so a run that never calls into it never pays for loading it.
#
# plinthora_delay_load(TARGET DLL...) makes, for each DLL, an import library that delay-loads
# it, with every export of the toolchain's own import library, and puts their folder first on
# TARGET's library path: the -l<DLL> that TARGET's libraries ask for then finds it. Only
# TARGET's link changes; other programs that link the same libraries import as before.
#
# A delayed DLL may export functions that belong to a DLL loaded at start-up (shell32 names
# shlwapi's string functions); those are left out of its library, so that the link takes them
# from the DLL that really provides them.
set(PLINTHORA_START_UP_DLLS kernel32 user32 gdi32 advapi32 shlwapi)

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
    set(start_up_libraries)
    foreach(dll IN LISTS PLINTHORA_START_UP_DLLS)
        find_library(PLINTHORA_IMPORT_LIBRARY_${dll} NAMES ${dll} REQUIRED)
        list(APPEND start_up_libraries ${PLINTHORA_IMPORT_LIBRARY_${dll}})
    endforeach()
    list(JOIN start_up_libraries "," start_up_list)
    set(libraries)
    foreach(dll IN LISTS ARGN)
        find_library(PLINTHORA_IMPORT_LIBRARY_${dll} NAMES ${dll} REQUIRED)
        set(library ${folder}/lib${dll}.a)
        add_custom_command(OUTPUT ${library}
            COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
                    -DIMPORT_LIBRARY=${PLINTHORA_IMPORT_LIBRARY_${dll}} -DOUTPUT=${library}
                    -DEXCLUDED_LIBRARIES=${start_up_list}
                    -DPOINTER_SIZE=${CMAKE_SIZEOF_VOID_P} -P ${script}
            DEPENDS ${script} ${PLINTHORA_IMPORT_LIBRARY_${dll}} ${start_up_libraries}
            COMMENT "Delay-loading import library for ${dll}"
            VERBATIM)
        list(APPEND libraries ${library})
    endforeach()
    add_custom_target(${target}_delay_imports DEPENDS ${libraries})
    add_dependencies(${target} ${target}_delay_imports)
    target_link_directories(${target} BEFORE PRIVATE ${folder})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
endfunction()
