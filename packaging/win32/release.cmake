# Packs Veltrana-VERSION-win32.zip: the executable, its debug file and the
# short text on installing, tracing and branding, in one folder named like
# the archive.
#
#   cmake -DVELTRANA_EXE=path/Veltrana.exe -DVELTRANA_TEXT=path/README.txt -DVELTRANA_ZIP=path/Veltrana-1.0.0-win32.zip -P release.cmake

foreach(file "${VELTRANA_EXE}" "${VELTRANA_EXE}.debug" "${VELTRANA_TEXT}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "release: ${file} is missing")
  endif()
endforeach()
get_filename_component(where "${VELTRANA_ZIP}" DIRECTORY)
get_filename_component(name "${VELTRANA_ZIP}" NAME_WLE)
set(staging "${where}/release-staging")
file(REMOVE_RECURSE "${staging}")
file(MAKE_DIRECTORY "${staging}/${name}")
file(COPY "${VELTRANA_EXE}" "${VELTRANA_EXE}.debug" "${VELTRANA_TEXT}" DESTINATION "${staging}/${name}")
file(REMOVE "${VELTRANA_ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${VELTRANA_ZIP}" --format=zip "${name}"
                WORKING_DIRECTORY "${staging}" RESULT_VARIABLE result)
file(REMOVE_RECURSE "${staging}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "release: could not write ${VELTRANA_ZIP}")
endif()
message(STATUS "release: wrote ${VELTRANA_ZIP}")
