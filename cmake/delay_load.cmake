# Delay-loaded imports: a DLL named here is loaded by the first call into it rather than when
# the process starts, so a run that never calls into it never pays for loading it.
#
# plinthora_delay_load(TARGET DLL...) makes, for each DLL, an import library that delay-loads
# it, with every export of the toolchain's own import library, and puts their folder first on
# TARGET's library path: the -l<DLL> that TARGET's libraries ask for then finds it. Only
# TARGET's link changes; other programs that link the same libraries import as before.
#
# Some import libraries also name functions that another DLL exports (shell32's names
# shlwapi's string functions, which shell32 only forwards). Where two DLLs of the list name
# the same function, the earlier one is taken to export it and the later one's library leaves
# it out, so that the linker finds it in the right library whatever the link order.
function(plinthora_delay_load target)
    set(folder ${CMAKE_BINARY_DIR}/delay_imports/${target})
    set(script ${CMAKE_SOURCE_DIR}/cmake/make_delay_import.cmake)
    set(libraries)
    set(earlier)
    foreach(dll IN LISTS ARGN)
        find_library(PLINTHORA_IMPORT_LIBRARY_${dll} NAMES ${dll} REQUIRED)
        set(library ${folder}/lib${dll}.a)
        # A list cannot travel through the command line as it is: "|" separates the paths.
        string(JOIN "|" earlier_paths ${earlier})
        add_custom_command(OUTPUT ${library}
            COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
                    -DIMPORT_LIBRARY=${PLINTHORA_IMPORT_LIBRARY_${dll}} -DOUTPUT=${library}
                    -DPOINTER_SIZE=${CMAKE_SIZEOF_VOID_P} "-DEARLIER_LIBRARIES=${earlier_paths}"
                    -P ${script}
            DEPENDS ${script} ${PLINTHORA_IMPORT_LIBRARY_${dll}} ${earlier}
            COMMENT "Delay-loading import library for ${dll}"
            VERBATIM)
        list(APPEND libraries ${library})
        list(APPEND earlier ${PLINTHORA_IMPORT_LIBRARY_${dll}})
    endforeach()
    add_custom_target(${target}_delay_imports DEPENDS ${libraries})
    add_dependencies(${target} ${target}_delay_imports)
    target_link_directories(${target} BEFORE PRIVATE ${folder})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
endfunction()
