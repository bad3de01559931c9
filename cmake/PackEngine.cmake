# Packs the engine sources into engine.zip: every .html and .js file F becomes F.zip holding
# one member named after F; other files stay plain; empty books/ and covers/ folders are added.
# Usage: cmake -DSOURCE=<engine dir> -DSTAGE=<scratch dir> -DOUTPUT=<engine.zip> -P PackEngine.cmake
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}/books" "${STAGE}/covers")
file(GLOB_RECURSE files RELATIVE "${SOURCE}" "${SOURCE}/*")
list(SORT files)
foreach(rel IN LISTS files)
  get_filename_component(dir "${rel}" DIRECTORY)
  get_filename_component(name "${rel}" NAME)
  file(MAKE_DIRECTORY "${STAGE}/${dir}")
  if(name MATCHES "\\.(html|js)$")
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${STAGE}/${rel}.zip" --format=zip --mtime=2000-01-01 "${name}"
                    WORKING_DIRECTORY "${SOURCE}/${dir}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "cannot pack ${rel}")
    endif()
  else()
    file(COPY "${SOURCE}/${rel}" DESTINATION "${STAGE}/${dir}")
  endif()
endforeach()
file(GLOB top RELATIVE "${STAGE}" "${STAGE}/*")
list(SORT top)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${OUTPUT}.part" --format=zip --mtime=2000-01-01 ${top}
                WORKING_DIRECTORY "${STAGE}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot pack the engine")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
