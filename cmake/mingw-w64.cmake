# mingw-w64.cmake - cross-compiles healthgauge for 64-bit Windows with the
# MinGW-w64 toolchain of Debian (g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The program is linked statically, so healthgauge.exe needs no DLL of the
# toolchain beside it, only those of Windows itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

# Libraries and headers come from the toolchain's own tree only; programs
# the build runs are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The image decoder is a header-only library: Debian's copy in /usr/include/stb
# serves every target. The project adds this folder with -isystem; /usr/include
# itself, whose headers belong to the build machine, is never searched.
set(STB_INCLUDE_DIR /usr/include/stb CACHE PATH "Folder of stb_image.h")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# pkg-config looks at the Windows libraries only (the toolchain's own tree),
# never at the build machine's: no optional library of the build machine is
# picked up by this build.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
