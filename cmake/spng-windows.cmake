# spng-windows.cmake - libspng for the Windows build, included by the main
# CMakeLists.txt when it cross-compiles with the fast decode on.
#
# libspng is one C file. Its source is Debian's own source package of the
# libspng that Linux builds link (scripts/fetch-libspng-source, run by
# scripts/install-deps, puts it in .cache/libspng/source); it is compiled
# here, static, the way Debian compiles it (no architecture-specific
# variants), and linked with the static zlib of libz-mingw-w64-dev, so
# healthgauge.exe still needs no DLL beside it.
#
# Sets SPNG_FOUND, SPNG_VERSION and the target healthgauge_spng; when the
# source or zlib is missing it says so and leaves SPNG_FOUND false, and the
# program decodes every screenshot whole.
set(HEALTHGAUGE_SPNG_SOURCE "${PROJECT_SOURCE_DIR}/.cache/libspng/source/spng"
    CACHE PATH "Folder with libspng's spng.c and spng.h, for the Windows build")

# zlib by the name of its static archive: libz.dll.a, beside it, would make
# the program need zlib1.dll.
find_library(HEALTHGAUGE_MINGW_ZLIB NAMES libz.a)
find_path(HEALTHGAUGE_MINGW_ZLIB_INCLUDE zlib.h)

set(SPNG_FOUND FALSE)
if(NOT EXISTS "${HEALTHGAUGE_SPNG_SOURCE}/spng.c" OR NOT EXISTS "${HEALTHGAUGE_SPNG_SOURCE}/spng.h")
  message(WARNING "healthgauge: libspng's source is missing (${HEALTHGAUGE_SPNG_SOURCE}/spng.c); "
                  "scripts/fetch-libspng-source fetches it. This Windows build decodes every "
                  "screenshot whole (slowly).")
elseif(NOT HEALTHGAUGE_MINGW_ZLIB OR NOT HEALTHGAUGE_MINGW_ZLIB_INCLUDE)
  message(WARNING "healthgauge: zlib for MinGW-w64 (libz-mingw-w64-dev) is missing. This Windows "
                  "build decodes every screenshot whole (slowly).")
else()
  enable_language(C)
  add_library(healthgauge_spng STATIC "${HEALTHGAUGE_SPNG_SOURCE}/spng.c")
  set_target_properties(healthgauge_spng PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
  target_compile_definitions(healthgauge_spng PUBLIC SPNG_STATIC PRIVATE SPNG_DISABLE_OPT)
  target_include_directories(healthgauge_spng SYSTEM PUBLIC "${HEALTHGAUGE_SPNG_SOURCE}"
                                                           "${HEALTHGAUGE_MINGW_ZLIB_INCLUDE}")
  target_link_libraries(healthgauge_spng PUBLIC "${HEALTHGAUGE_MINGW_ZLIB}")

  file(STRINGS "${HEALTHGAUGE_SPNG_SOURCE}/spng.h" version_lines
       REGEX "^#define SPNG_VERSION_(MAJOR|MINOR|PATCH) [0-9]+")
  set(SPNG_VERSION "")
  foreach(line IN LISTS version_lines)
    string(REGEX REPLACE "^#define SPNG_VERSION_[A-Z]+ ([0-9]+).*$" "\\1" part "${line}")
    string(APPEND SPNG_VERSION ".${part}")
  endforeach()
  string(SUBSTRING "${SPNG_VERSION}" 1 -1 SPNG_VERSION)
  string(APPEND SPNG_VERSION " (compiled from ${HEALTHGAUGE_SPNG_SOURCE})")
  set(SPNG_FOUND TRUE)
endif()
