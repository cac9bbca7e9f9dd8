# Compiles the help file from the pages: cmake -DPAGES_DIR=... -DSTAGING_DIR=... -DOUTPUT=...
#   -DICONV=... -DCHMCMD=... -P build_help_file.cmake
#
# The pages are kept in UTF-8 and say so in their charset. The help viewer reads the pages in
# the code page their charset names, and the contents, index and window titles in the code page
# of the help file's language (Japanese: CP932), so every text file is converted to CP932 and
# its charset rewritten to Shift_JIS. A character that CP932 lacks stops the build, and so does
# any link, anchor or file that the compiler cannot find.

foreach(variable PAGES_DIR STAGING_DIR OUTPUT ICONV CHMCMD)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "build_help_file.cmake needs -D${variable}=...")
    endif()
endforeach()

file(REMOVE_RECURSE ${STAGING_DIR})
file(MAKE_DIRECTORY ${STAGING_DIR})

file(GLOB sources LIST_DIRECTORIES false ${PAGES_DIR}/*)
foreach(source IN LISTS sources)
    get_filename_component(name ${source} NAME)
    get_filename_component(extension ${source} LAST_EXT)
    string(TOLOWER "${extension}" extension)
    if(NOT extension MATCHES "^\\.(html|hhc|hhk|hhp)$")
        file(COPY ${source} DESTINATION ${STAGING_DIR})
        continue()
    endif()

    file(READ ${source} text)
    string(REPLACE "charset=UTF-8" "charset=Shift_JIS" text "${text}")
    file(WRITE ${STAGING_DIR}/${name}.utf8 "${text}")
    execute_process(
        COMMAND ${ICONV} -f UTF-8 -t CP932 ${STAGING_DIR}/${name}.utf8
        OUTPUT_FILE ${STAGING_DIR}/${name}
        ERROR_VARIABLE problem
        RESULT_VARIABLE status)
    file(REMOVE ${STAGING_DIR}/${name}.utf8)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "help/pages/${name} cannot be written in CP932: ${problem}")
    endif()
endforeach()

execute_process(
    COMMAND ${CHMCMD} plinthora.hhp
    WORKING_DIRECTORY ${STAGING_DIR}
    OUTPUT_VARIABLE report
    ERROR_VARIABLE report
    RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR report MATCHES "(^|\n)(Error|Warning)" OR NOT EXISTS ${STAGING_DIR}/plinthora.chm)
    message(FATAL_ERROR "chmcmd could not compile the help file cleanly:\n${report}")
endif()

file(COPY_FILE ${STAGING_DIR}/plinthora.chm ${OUTPUT})
