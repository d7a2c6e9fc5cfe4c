# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads: std::thread and
# std::mutex need them). The libraries Debian has no mingw package for are built by
# scripts/install-deps.sh windows into SALVORA_WINDOWS_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triplet x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)

if(NOT SALVORA_WINDOWS_PREFIX)
  set(SALVORA_WINDOWS_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps/prefix)
endif()
get_filename_component(SALVORA_WINDOWS_PREFIX ${SALVORA_WINDOWS_PREFIX} ABSOLUTE)
set(SALVORA_WINDOWS_PREFIX ${SALVORA_WINDOWS_PREFIX} CACHE PATH "Libraries built for mingw")

# Look for libraries and headers only in the mingw sysroot and the prefix, programs on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${triplet} ${SALVORA_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the prefix's .pc files only, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} ${SALVORA_WINDOWS_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(ENV{PKG_CONFIG_PATH} "")

# One program with no DLLs beside it: the C and C++ runtimes and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# zlib linked in, like the other libraries (Debian ships both forms).
set(ZLIB_USE_STATIC_LIBS ON)

# Test programs run under Wine on this machine.
find_program(SALVORA_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(SALVORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SALVORA_WINE})
endif()
