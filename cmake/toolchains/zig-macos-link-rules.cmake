# Link rules for the Zig macOS toolchain (see zig-macos-x86_64.cmake). Loaded
# after CMake's Darwin platform files, so these win over their -bundle rule for
# modules.
foreach(_lang C CXX)
  set(CMAKE_${_lang}_CREATE_SHARED_MODULE
    "${NOCTURNIA_ZIG_TOOLS}/zig-ld64-dylib <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
  set(CMAKE_${_lang}_CREATE_SHARED_LIBRARY
    "${NOCTURNIA_ZIG_TOOLS}/zig-ld64-dylib <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
endforeach()
