# Writes the linker options that keep, in a 32-bit link, the stub of every delay-loaded function
# the program calls: cmake -DNM= -DINPUTS= -DDELAY_LIBRARIES= -DOUTPUT= -P keep_delay_stubs.cmake.
# INPUTS and DELAY_LIBRARIES are lists separated by "|": the objects and static libraries the
# program links, and its delay-loading import libraries. The 32-bit linker drops the stub of a
# function that the program reaches only through its import slot (__imp__Name@N), which is how
# the Windows headers declare every function, and the slot then holds zero; a stub named with
# -u stays, and its slot holds the stub's loading thunk.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" inputs "${INPUTS}")
string(REPLACE "|" ";" delay_libraries "${DELAY_LIBRARIES}")

set(delayed)
foreach(library IN LISTS delay_libraries)
    execute_process(COMMAND ${NM} ${library} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL " I __imp__[^\n]+" imports "${symbols}")
    list(TRANSFORM imports REPLACE " I __imp_" "")
    list(APPEND delayed ${imports})
endforeach()

set(called)
foreach(input IN LISTS inputs)
    execute_process(COMMAND ${NM} -u ${input} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "U __imp__[^\n]+" imports "${symbols}")
    list(TRANSFORM imports REPLACE "U __imp_" "")
    list(APPEND called ${imports})
endforeach()
list(REMOVE_DUPLICATES called)

set(options "")
foreach(stub IN LISTS called)
    if(stub IN_LIST delayed)
        string(APPEND options "-Wl,-u,${stub}\n")
    endif()
endforeach()
file(WRITE ${OUTPUT} "${options}")
