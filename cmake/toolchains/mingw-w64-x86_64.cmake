# Windows x64 with Debian's MinGW-w64 (posix thread model, so std::thread works).
#
# Everything the binaries need from the compiler's runtime (libstdc++, libgcc,
# winpthread) is linked in statically: the plug-in and the program depend on
# Windows system DLLs only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NOCTURNIA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NOCTURNIA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NOCTURNIA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NOCTURNIA_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW tree only, never from the build
# machine's /usr; programs still run from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${NOCTURNIA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(NOCTURNIA_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${NOCTURNIA_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${NOCTURNIA_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${NOCTURNIA_STATIC_RUNTIME}")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)

include(${CMAKE_CURRENT_LIST_DIR}/header-only-libraries.cmake)
