# CLI11 for a cross build: headers only, from the folder that the toolchain
# prepared (see header-only-libraries.cmake).
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${NOCTURNIA_HEADER_ONLY_INCLUDE}")
endif()
set(CLI11_FOUND TRUE)
