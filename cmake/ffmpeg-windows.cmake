# ffmpeg-windows.cmake - FFmpeg's libavformat, libavcodec and libavutil for
# the Windows build, included by the main CMakeLists.txt when it
# cross-compiles:
#
#   target_link_libraries(TARGET PRIVATE healthgauge_ffmpeg)
#   healthgauge_ffmpeg_dlls(FOLDER)   # the DLLs copied into FOLDER by the build
#
# healthgauge_ffmpeg is an imported target: FFmpeg's headers (as
# <libavformat/avformat.h>, ...) and the import libraries of the three DLLs.
# The DLLs are built from Debian's own source packages of ffmpeg and dav1d
# by scripts/release/build-ffmpeg-windows (which scripts/install-deps runs
# for the cross tier) into a cache outside the checkout; that script names
# the folder (--print-dir), and HEALTHGAUGE_FFMPEG_WINDOWS chooses another.
# Without the folder the configure stops, naming the script.
#
# The DLLs (HEALTHGAUGE_FFMPEG_DLLS, avformat-59.dll, avcodec-59.dll,
# avutil-57.dll) need nothing beyond Windows itself; the build copies them
# beside healthgauge.exe, so that it and the tests under Wine find them, and
# the Windows zip carries them (windows-zip.cmake), with FFmpeg's licence
# (HEALTHGAUGE_FFMPEG_LICENCE). HEALTHGAUGE_FFMPEG_VERSIONS holds the source
# packages' versions ("ffmpeg 7:5.1.9-0+deb12u1;dav1d 1.0.0-2+deb12u1").
set(HEALTHGAUGE_FFMPEG_WINDOWS "" CACHE PATH
    "Folder of FFmpeg built for Windows; empty: the one scripts/release/build-ffmpeg-windows names")

set(ffmpeg_script "${PROJECT_SOURCE_DIR}/scripts/release/build-ffmpeg-windows")
set(ffmpeg_folder "${HEALTHGAUGE_FFMPEG_WINDOWS}")
if(NOT ffmpeg_folder)
  execute_process(COMMAND "${ffmpeg_script}" --print-dir
                  OUTPUT_VARIABLE ffmpeg_folder OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE ffmpeg_status)
  if(NOT ffmpeg_status EQUAL 0)
    set(ffmpeg_folder "")
  endif()
endif()
if(NOT ffmpeg_folder OR NOT EXISTS "${ffmpeg_folder}/versions")
  message(FATAL_ERROR "healthgauge: FFmpeg for Windows is not built (folder: '${ffmpeg_folder}'). "
                      "Run scripts/release/build-ffmpeg-windows (about 6 minutes once; "
                      "scripts/install-deps cross runs it), then configure again.")
endif()

file(STRINGS "${ffmpeg_folder}/versions" HEALTHGAUGE_FFMPEG_VERSIONS)
file(GLOB HEALTHGAUGE_FFMPEG_DLLS "${ffmpeg_folder}/bin/*.dll")
set(HEALTHGAUGE_FFMPEG_LICENCE "${ffmpeg_folder}/licences/ffmpeg-COPYING.LGPLv2.1")
# A new build of the cache (another key) takes a new configure.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ffmpeg_folder}/versions")

add_library(healthgauge_ffmpeg INTERFACE IMPORTED)
set_target_properties(healthgauge_ffmpeg PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${ffmpeg_folder}/include")
foreach(library avformat avcodec avutil)
  set(import_library "${ffmpeg_folder}/lib/lib${library}.dll.a")
  if(NOT EXISTS "${import_library}")
    message(FATAL_ERROR "healthgauge: ${import_library} is missing; remove ${ffmpeg_folder} and run "
                        "scripts/release/build-ffmpeg-windows again.")
  endif()
  set_property(TARGET healthgauge_ffmpeg APPEND PROPERTY INTERFACE_LINK_LIBRARIES "${import_library}")
endforeach()
message(STATUS "healthgauge: FFmpeg for Windows from ${ffmpeg_folder}")

# Copies the DLLs into folder whenever the build runs (and they changed).
function(healthgauge_ffmpeg_dlls folder)
  set(copies "")
  foreach(dll IN LISTS HEALTHGAUGE_FFMPEG_DLLS)
    get_filename_component(name "${dll}" NAME)
    add_custom_command(OUTPUT "${folder}/${name}"
      COMMAND "${CMAKE_COMMAND}" -E copy "${dll}" "${folder}/${name}"
      DEPENDS "${dll}" VERBATIM)
    list(APPEND copies "${folder}/${name}")
  endforeach()
  file(RELATIVE_PATH where "${CMAKE_BINARY_DIR}" "${folder}")
  string(MAKE_C_IDENTIFIER "ffmpeg_dlls_${where}" target)
  add_custom_target(${target} ALL DEPENDS ${copies})
endfunction()
