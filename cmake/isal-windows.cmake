# isal-windows.cmake - the inflate of the Windows build's top-rows reader,
# included by the main CMakeLists.txt when it cross-compiles with the fast
# decode on.
#
# ISA-L's inflate is built from Debian's own source package of the libisal
# that Linux builds link (scripts/release/fetch-isal-source, run by
# scripts/install-deps, puts it in .cache/isal/source): a copy of it in the
# build folder is built with its own Makefile.unx (arch=mingw, nasm), only
# its igzip unit, into a static isa-l.a. Without the source or nasm (or
# with -DHEALTHGAUGE_ISAL=OFF) the reader inflates with the static zlib of
# libz-mingw-w64-dev instead. Either way healthgauge.exe needs no DLL
# beside it.
#
# Sets ISAL_FOUND, ISAL_VERSION and the target healthgauge_isal, or the
# target healthgauge_zlib; with neither, the program decodes every
# screenshot whole.
set(HEALTHGAUGE_ISAL_SOURCE "${PROJECT_SOURCE_DIR}/.cache/isal/source"
    CACHE PATH "Folder with ISA-L's source (Makefile.unx), for the Windows build")

set(ISAL_FOUND FALSE)
find_program(HEALTHGAUGE_NASM nasm)
find_program(HEALTHGAUGE_MAKE NAMES make gmake)
if(NOT HEALTHGAUGE_ISAL)
  message(STATUS "healthgauge: ISA-L switched off: the Windows build inflates with zlib")
elseif(NOT EXISTS "${HEALTHGAUGE_ISAL_SOURCE}/Makefile.unx" OR
       NOT EXISTS "${HEALTHGAUGE_ISAL_SOURCE}/include/igzip_lib.h")
  message(WARNING "healthgauge: ISA-L's source is missing (${HEALTHGAUGE_ISAL_SOURCE}/Makefile.unx); "
                  "scripts/release/fetch-isal-source fetches it. This Windows build inflates with zlib "
                  "(slower).")
elseif(NOT HEALTHGAUGE_NASM OR NOT HEALTHGAUGE_MAKE)
  message(WARNING "healthgauge: nasm or make is missing, which ISA-L's build needs. This Windows "
                  "build inflates with zlib (slower).")
else()
  set(isal_build "${CMAKE_BINARY_DIR}/isal")
  set(isal_library "${isal_build}/bin/isa-l.a")
  # The headers as the Linux package installs them: <isa-l/igzip_lib.h>.
  file(MAKE_DIRECTORY "${isal_build}/include/isa-l")
  file(COPY "${HEALTHGAUGE_ISAL_SOURCE}/include/igzip_lib.h" "${HEALTHGAUGE_ISAL_SOURCE}/include/types.h"
       DESTINATION "${isal_build}/include/isa-l")
  add_custom_command(
    OUTPUT "${isal_library}"
    COMMAND "${CMAKE_COMMAND}" -E copy_directory "${HEALTHGAUGE_ISAL_SOURCE}" "${isal_build}/source"
    COMMAND "${HEALTHGAUGE_MAKE}" -s -C "${isal_build}/source" -f Makefile.unx arch=mingw
            host_cpu=x86_64 "AS=${HEALTHGAUGE_NASM}" units=igzip have_threads=n lib
    COMMAND "${CMAKE_COMMAND}" -E copy "${isal_build}/source/bin/isa-l.a" "${isal_library}"
    COMMENT "Building ISA-L's inflate for Windows from Debian's source"
    VERBATIM)
  add_custom_target(healthgauge_isal_build DEPENDS "${isal_library}")
  add_library(healthgauge_isal INTERFACE)
  target_include_directories(healthgauge_isal SYSTEM INTERFACE "${isal_build}/include")
  target_link_libraries(healthgauge_isal INTERFACE "${isal_library}")
  add_dependencies(healthgauge_isal healthgauge_isal_build)

  file(STRINGS "${HEALTHGAUGE_ISAL_SOURCE}/make.inc" version_line REGEX "^version \\?= ")
  string(REGEX REPLACE "^version \\?= *([0-9.]+).*$" "\\1" ISAL_VERSION "${version_line}")
  string(APPEND ISAL_VERSION " (built from ${HEALTHGAUGE_ISAL_SOURCE})")
  set(ISAL_FOUND TRUE)
endif()

if(NOT ISAL_FOUND)
  # zlib by the name of its static archive: libz.dll.a, beside it, would make
  # the program need zlib1.dll.
  find_library(HEALTHGAUGE_MINGW_ZLIB NAMES libz.a)
  find_path(HEALTHGAUGE_MINGW_ZLIB_INCLUDE zlib.h)
  if(HEALTHGAUGE_MINGW_ZLIB AND HEALTHGAUGE_MINGW_ZLIB_INCLUDE)
    add_library(healthgauge_zlib INTERFACE)
    target_include_directories(healthgauge_zlib SYSTEM INTERFACE "${HEALTHGAUGE_MINGW_ZLIB_INCLUDE}")
    target_link_libraries(healthgauge_zlib INTERFACE "${HEALTHGAUGE_MINGW_ZLIB}")
  else()
    message(WARNING "healthgauge: zlib for MinGW-w64 (libz-mingw-w64-dev) is missing too. This "
                    "Windows build decodes every screenshot whole (slowly).")
  endif()
endif()
