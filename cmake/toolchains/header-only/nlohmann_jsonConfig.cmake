# nlohmann-json for a cross build: headers only, from the folder that the
# toolchain prepared (see header-only-libraries.cmake).
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${NOCTURNIA_HEADER_ONLY_INCLUDE}")
endif()
set(nlohmann_json_FOUND TRUE)
