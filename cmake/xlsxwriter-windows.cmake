# xlsxwriter-windows.cmake - libxlsxwriter for the Windows build, which
# writes report.xlsx with it as the Linux build does with Debian's
# libxlsxwriter-dev.
#
# The library is built from Debian's own source package of the libxlsxwriter
# that Linux builds link (scripts/release/fetch-xlsxwriter-source, run by
# scripts/install-deps, puts it in .cache/xlsxwriter/source) into a static
# library of this build, with the bundled minizip (over the static zlib of
# libz-mingw-w64-dev), tmpfileplus and md5, as upstream builds it for
# MinGW. Without the source, configuring stops and says how to fetch it.
#
# Sets XLSXWRITER_VERSION and the target healthgauge_xlsxwriter.
include_guard(GLOBAL)

set(HEALTHGAUGE_XLSXWRITER_SOURCE "${PROJECT_SOURCE_DIR}/.cache/xlsxwriter/source"
    CACHE PATH "Debian's libxlsxwriter source for the Windows build")
set(source "${HEALTHGAUGE_XLSXWRITER_SOURCE}")
if(NOT EXISTS "${source}/src/workbook.c" OR NOT EXISTS "${source}/include/xlsxwriter.h")
  message(FATAL_ERROR "healthgauge: libxlsxwriter's source is missing (${source}/src/workbook.c); "
                      "report.xlsx needs it. scripts/release/fetch-xlsxwriter-source (or "
                      "scripts/install-deps cross) fetches Debian's source package.")
endif()
find_library(HEALTHGAUGE_MINGW_ZLIB NAMES libz.a)
find_path(HEALTHGAUGE_MINGW_ZLIB_INCLUDE zlib.h)
if(NOT HEALTHGAUGE_MINGW_ZLIB OR NOT HEALTHGAUGE_MINGW_ZLIB_INCLUDE)
  message(FATAL_ERROR "healthgauge: zlib for MinGW-w64 (libz-mingw-w64-dev) is missing; "
                      "libxlsxwriter needs it. scripts/install-deps cross installs it.")
endif()

enable_language(C)
file(GLOB xlsxwriter_sources "${source}/src/*.c")
add_library(healthgauge_xlsxwriter STATIC ${xlsxwriter_sources}
  "${source}/third_party/minizip/ioapi.c" "${source}/third_party/minizip/zip.c"
  "${source}/third_party/tmpfileplus/tmpfileplus.c" "${source}/third_party/md5/md5.c")
target_include_directories(healthgauge_xlsxwriter SYSTEM PUBLIC "${source}/include")
target_include_directories(healthgauge_xlsxwriter SYSTEM PRIVATE "${HEALTHGAUGE_MINGW_ZLIB_INCLUDE}")
# As upstream's CMakeLists.txt builds it with MinGW; its own code, its own
# warnings: none of ours.
target_compile_definitions(healthgauge_xlsxwriter PRIVATE NOCRYPT NOUNCRYPT USE_FILE32API)
target_compile_options(healthgauge_xlsxwriter PRIVATE -w)
target_link_libraries(healthgauge_xlsxwriter PUBLIC "${HEALTHGAUGE_MINGW_ZLIB}")

file(STRINGS "${source}/include/xlsxwriter.h" version_line REGEX "^#define LXW_VERSION \"")
string(REGEX REPLACE "^#define LXW_VERSION \"([0-9.]+)\".*$" "\\1" XLSXWRITER_VERSION "${version_line}")
message(STATUS "healthgauge: libxlsxwriter ${XLSXWRITER_VERSION} built from ${source}")
