# Zips a template or extension package folder so that rebuilding gives the same bytes: the files
# are staged with CRLF line ends (templates are Windows text: only CRLF breaks a line for the
# block parser and the output clean-up), a fixed time stamp and fixed permissions, and are zipped
# in sorted order without extra attributes.
#
# cmake -DSOURCE=<package folder> -DOUTPUT=<zip file> -DWORK=<staging folder> -DZIP=<zip program>
#       -P ZipPackage.cmake
foreach(variable SOURCE OUTPUT WORK ZIP)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "ZipPackage.cmake: ${variable} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE "${SOURCE}" "${SOURCE}/*")
list(SORT entries)
foreach(entry IN LISTS entries)
    get_filename_component(folder "${WORK}/${entry}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    if(entry MATCHES "\\.(htm|xml|vbs|css|txt)$")
        file(READ "${SOURCE}/${entry}" text)
        string(REPLACE "\r\n" "\n" text "${text}")
        string(REPLACE "\n" "\r\n" text "${text}")
        file(WRITE "${WORK}/${entry}" "${text}")
    else()
        file(COPY_FILE "${SOURCE}/${entry}" "${WORK}/${entry}")
    endif()
    file(CHMOD "${WORK}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()

execute_process(COMMAND touch -d "2026-01-01 00:00:00 UTC" ${entries}
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE touched)
if(NOT touched EQUAL 0)
    message(FATAL_ERROR "ZipPackage.cmake: cannot set the time stamps in ${WORK}")
endif()

get_filename_component(outputFolder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${outputFolder}")
# zip adds to an existing archive, so build a fresh one beside the output and move it over.
file(REMOVE "${OUTPUT}.part")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC "${ZIP}" -X -D -q "${OUTPUT}.part" ${entries}
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
    message(FATAL_ERROR "ZipPackage.cmake: zip failed for ${SOURCE}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
