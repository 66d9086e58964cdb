# cmake -DLIBRARY=... -DRESOURCES=... -DDESTINATION=... -P lay_out_plugin_folder.cmake
# Makes DESTINATION an installable plug-in folder: the library and its res/,
# nothing left over from an earlier layout.
foreach(_var LIBRARY RESOURCES DESTINATION)
  if(NOT ${_var})
    message(FATAL_ERROR "lay_out_plugin_folder: ${_var} is not set")
  endif()
endforeach()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "lay_out_plugin_folder: no library ${LIBRARY}")
endif()
if(NOT IS_DIRECTORY "${RESOURCES}")
  message(FATAL_ERROR "lay_out_plugin_folder: no resource folder ${RESOURCES}")
endif()
file(REMOVE_RECURSE "${DESTINATION}")
file(MAKE_DIRECTORY "${DESTINATION}")
file(COPY "${LIBRARY}" DESTINATION "${DESTINATION}")
file(COPY "${RESOURCES}/" DESTINATION "${DESTINATION}/res")
message(STATUS "Laid out ${DESTINATION}")
