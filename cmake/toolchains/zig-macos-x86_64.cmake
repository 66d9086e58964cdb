# macOS x86-64 with the Zig compiler (clang and a libc++ built for the target),
# through the wrapper scripts in zig/.
#
# Zig compiles everything; the final link of a shared library is done by LLVM's
# ld64.lld instead of Zig's own Mach-O linker, because Zig 0.11's linker exports
# every global symbol, hidden ones included, and ignores an export list. ld64.lld
# links the same objects and Zig's static libc++, libc++abi and compiler-rt
# against Zig's libSystem stub and honours -exported_symbols_list.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NOCTURNIA_ZIG_TOOLS ${CMAKE_CURRENT_LIST_DIR}/zig)
set(CMAKE_C_COMPILER ${NOCTURNIA_ZIG_TOOLS}/zig-cc)
set(CMAKE_CXX_COMPILER ${NOCTURNIA_ZIG_TOOLS}/zig-c++)
set(CMAKE_AR ${NOCTURNIA_ZIG_TOOLS}/zig-ar CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB ${NOCTURNIA_ZIG_TOOLS}/zig-ranlib CACHE FILEPATH "" FORCE)
# No Apple SDK here: Zig brings its own headers and libSystem stub.
set(CMAKE_OSX_SYSROOT "" CACHE PATH "" FORCE)
set(CMAKE_OSX_ARCHITECTURES "" CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "" FORCE)

set(CMAKE_FIND_ROOT_PATH ${CMAKE_CURRENT_LIST_DIR}/no-sysroot)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Applied after CMake's own Darwin rules: shared libraries and modules are
# linked as dynamic libraries (MH_DYLIB) by the ld64.lld wrapper.
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/zig-macos-link-rules.cmake)

include(${CMAKE_CURRENT_LIST_DIR}/header-only-libraries.cmake)
