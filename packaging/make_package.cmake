# Lays out the release package and zips it; run by the target package (see CMakeLists.txt):
#   cmake -DVERSION=... -DEXECUTABLE=... -DHELP_FILE=... -DSAMPLE_SERVER=... -DSOURCE_DIR=...
#         -DSTAGING_DIR=... -DSTRIP=... -DICONV=... -DOUTPUT=... [-DHELPER32=...] -P make_package.cmake
# HELPER32, when given, is the 32-bit program that the package carries as plinthora32.exe.
#
# The text files are kept in UTF-8 with LF line ends in the repository. In the package every
# text file ends its lines with CR LF; README.txt is UTF-8 with a byte-order mark, so that
# Notepad shows its Japanese and its English on any Windows; config.ini is CP932, the code
# page of everything the program reads. The two binaries are stripped of their symbols.

foreach(variable VERSION EXECUTABLE HELP_FILE SAMPLE_SERVER SOURCE_DIR STAGING_DIR STRIP ICONV OUTPUT)
    if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "")
        message(FATAL_ERROR "make_package.cmake needs -D${variable}=...")
    endif()
endforeach()

# Every file of the package, in the order of the zip's directory.
set(PACKAGE_FILES
    plinthora.exe
    plinthora.chm
    README.txt
    config.ini
    samples/sample_server.dll
    samples/install.ini.sample
    samples/uninstall.ini.sample)
if(NOT "${HELPER32}" STREQUAL "")
    list(APPEND PACKAGE_FILES plinthora32.exe)
endif()

file(REMOVE_RECURSE ${STAGING_DIR})
file(MAKE_DIRECTORY ${STAGING_DIR}/samples)

function(copy_stripped source target)
    file(COPY_FILE ${source} ${STAGING_DIR}/${target})
    execute_process(COMMAND ${STRIP} ${STAGING_DIR}/${target} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${STRIP} failed on ${target}")
    endif()
endfunction()

# The text of a source file with CR LF line ends and the version filled in.
function(read_text source variable)
    file(READ ${SOURCE_DIR}/${source} text)
    string(REPLACE "@PLINTHORA_VERSION@" "${VERSION}" text "${text}")
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    set(${variable} "${text}" PARENT_SCOPE)
endfunction()

copy_stripped(${EXECUTABLE} plinthora.exe)
if(NOT "${HELPER32}" STREQUAL "")
    copy_stripped(${HELPER32} plinthora32.exe)
endif()
copy_stripped(${SAMPLE_SERVER} samples/sample_server.dll)
file(COPY_FILE ${HELP_FILE} ${STAGING_DIR}/plinthora.chm)

string(ASCII 239 187 191 byte_order_mark)
read_text(README.txt readme)
file(WRITE ${STAGING_DIR}/README.txt "${byte_order_mark}${readme}")

read_text(config.ini config)
file(WRITE ${STAGING_DIR}/config.ini.utf8 "${config}")
execute_process(
    COMMAND ${ICONV} -f UTF-8 -t CP932 ${STAGING_DIR}/config.ini.utf8
    OUTPUT_FILE ${STAGING_DIR}/config.ini
    RESULT_VARIABLE status)
file(REMOVE ${STAGING_DIR}/config.ini.utf8)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "packaging/config.ini cannot be written in CP932")
endif()

foreach(sample install.ini.sample uninstall.ini.sample)
    read_text(${sample} text)
    file(WRITE ${STAGING_DIR}/samples/${sample} "${text}")
endforeach()

file(REMOVE ${OUTPUT})
execute_process(
    COMMAND ${CMAKE_COMMAND} -E tar cf ${OUTPUT} --format=zip ${PACKAGE_FILES}
    WORKING_DIRECTORY ${STAGING_DIR}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not write ${OUTPUT}")
endif()
