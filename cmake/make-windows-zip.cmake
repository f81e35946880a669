# make-windows-zip.cmake - packs the Windows program and its texts into a zip
# (run by the windows-zip target of windows-zip.cmake):
#
#   cmake -DPROGRAM=healthgauge.exe -DSOURCE=<source folder> -DREADME=<README.txt>
#         "-DDROP_TARGETS=Report.cmd;Compare.cmd;Watch.cmd"
#         -DDLLS=<dll>|<dll>|... -DLGPL=<LGPL 2.1 text> -DZIP=<out.zip>
#         -P make-windows-zip.cmake
#
# The texts get CR LF line ends, as Windows' own editors expect; the zip is
# written by CMake itself, so no zip tool is needed.
foreach(variable PROGRAM SOURCE README DROP_TARGETS DLLS LGPL ZIP)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "make-windows-zip: ${variable} is not set")
  endif()
endforeach()

set(stage ${ZIP}.files)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${ZIP})
file(MAKE_DIRECTORY ${stage})

# Copies a text file with every line ending in CR LF.
function(copy_with_crlf from to)
  file(READ ${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
endfunction()

file(COPY_FILE ${PROGRAM} ${stage}/healthgauge.exe)
set(files healthgauge.exe)
string(REPLACE "|" ";" DLLS "${DLLS}")
foreach(dll IN LISTS DLLS)
  get_filename_component(name ${dll} NAME)
  file(COPY_FILE ${dll} ${stage}/${name})
  list(APPEND files ${name})
endforeach()
copy_with_crlf(${README} ${stage}/README.txt)
list(APPEND files README.txt)
foreach(drop ${DROP_TARGETS})
  get_filename_component(name ${drop} NAME)
  copy_with_crlf(${drop} ${stage}/${name})
  list(APPEND files ${name})
endforeach()
copy_with_crlf(${SOURCE}/LICENSE ${stage}/LICENSE.txt)
copy_with_crlf(${SOURCE}/THIRD-PARTY-NOTICES ${stage}/THIRD-PARTY-NOTICES.txt)
copy_with_crlf(${LGPL} ${stage}/LGPL-2.1.txt)
list(APPEND files LICENSE.txt THIRD-PARTY-NOTICES.txt LGPL-2.1.txt)

execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${files}
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE status)
file(REMOVE_RECURSE ${stage})
if(NOT status EQUAL 0)
  file(REMOVE ${ZIP})
  message(FATAL_ERROR "make-windows-zip: could not write ${ZIP}")
endif()
