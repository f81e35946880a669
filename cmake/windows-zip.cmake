# windows-zip.cmake - the zip of the Windows program for players, a target of
# the Windows build:
#
#   cmake --build build-windows --target windows-zip
#     -> build-windows/healthgauge-VERSION-windows-x64.zip
#
# It holds healthgauge.exe, FFmpeg's DLLs beside it (ffmpeg-windows.cmake),
# README.txt (packaging/windows/README.txt.in with the version filled in),
# the drop targets Report.cmd, Compare.cmd and Watch.cmd (each
# packaging/windows/drop-target.cmd.in with its name and mode filled in),
# LICENSE.txt, THIRD-PARTY-NOTICES.txt and LGPL-2.1.txt (FFmpeg's licence),
# the texts with Windows' CR LF line ends. make-windows-zip.cmake puts it
# together with CMake alone.
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${CMAKE_BINARY_DIR}/README.txt @ONLY)
set(DROP_TARGETS)
foreach(drop Report:report Compare:compare Watch:watch)
  string(REPLACE ":" ";" drop ${drop})
  list(GET drop 0 name)
  list(GET drop 1 DROP_MODE)
  set(DROP_NAME ${name}.cmd)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/drop-target.cmd.in
                 ${CMAKE_BINARY_DIR}/${DROP_NAME} @ONLY NEWLINE_STYLE CRLF)
  list(APPEND DROP_TARGETS ${CMAKE_BINARY_DIR}/${DROP_NAME})
endforeach()
set(WINDOWS_ZIP ${CMAKE_BINARY_DIR}/healthgauge-${PROJECT_VERSION}-windows-x64.zip)
add_custom_command(OUTPUT ${WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:healthgauge> -DSOURCE=${PROJECT_SOURCE_DIR}
          -DREADME=${CMAKE_BINARY_DIR}/README.txt "-DDROP_TARGETS=${DROP_TARGETS}"
          -DZIP=${WINDOWS_ZIP}
          "-DDLLS=$<JOIN:${HEALTHGAUGE_FFMPEG_DLLS},|>" -DLGPL=${HEALTHGAUGE_FFMPEG_LICENCE}
          -P ${PROJECT_SOURCE_DIR}/cmake/make-windows-zip.cmake
  DEPENDS healthgauge ${PROJECT_SOURCE_DIR}/cmake/make-windows-zip.cmake
          ${HEALTHGAUGE_FFMPEG_DLLS} ${HEALTHGAUGE_FFMPEG_LICENCE}
          ${CMAKE_BINARY_DIR}/README.txt ${DROP_TARGETS}
          ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES
  COMMENT "Packing ${WINDOWS_ZIP}"
  VERBATIM)
add_custom_target(windows-zip DEPENDS ${WINDOWS_ZIP})
