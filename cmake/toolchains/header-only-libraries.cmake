# nlohmann-json and CLI11 are header-only, so the build machine's copies serve a
# cross build as well. They are offered through a folder that holds nothing but
# links to those two header trees: the rest of the build machine's /usr/include
# (its C library above all) must stay out of a cross compiler's search path.
get_property(_nocturnia_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT _nocturnia_in_try_compile)
  set(NOCTURNIA_HEADER_ONLY_INCLUDE "${CMAKE_BINARY_DIR}/header-only-include")
  file(MAKE_DIRECTORY "${NOCTURNIA_HEADER_ONLY_INCLUDE}")
  foreach(_tree nlohmann CLI)
    if(IS_DIRECTORY "/usr/include/${_tree}" AND NOT EXISTS "${NOCTURNIA_HEADER_ONLY_INCLUDE}/${_tree}")
      file(CREATE_LINK "/usr/include/${_tree}" "${NOCTURNIA_HEADER_ONLY_INCLUDE}/${_tree}" SYMBOLIC)
    endif()
  endforeach()
  if(NOT CMAKE_CXX_FLAGS_INIT MATCHES "header-only-include")
    string(APPEND CMAKE_CXX_FLAGS_INIT " -isystem ${NOCTURNIA_HEADER_ONLY_INCLUDE}")
  endif()
  # Package configs for find_package(nlohmann_json) and find_package(CLI11).
  set(nlohmann_json_DIR "${CMAKE_CURRENT_LIST_DIR}/header-only" CACHE PATH "" FORCE)
  set(CLI11_DIR "${CMAKE_CURRENT_LIST_DIR}/header-only" CACHE PATH "" FORCE)
endif()
unset(_nocturnia_in_try_compile)
