# debian-staging.cmake - run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the files
# staged for the Debian package, before it packs them. It adds what Debian
# asks of every package and what a plain install does without:
#
#   usr/share/doc/healthgauge/copyright            machine-readable copyright
#   usr/share/doc/healthgauge/changelog.Debian.gz  the package's changelog
#   usr/share/man/man1/healthgauge.1.gz            the manual page, compressed
#
# and it drops the .comment and .note sections of the stripped program, as
# Debian's own dh_strip does.
#
# Both gzip runs use -9n: best compression, no name or time in the header,
# so the same sources give the same package.
set(root ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(doc ${root}/share/doc/healthgauge)
set(man ${root}/share/man/man1/healthgauge.1)
foreach(required ${doc}/README.md ${man})
  if(NOT EXISTS ${required})
    message(FATAL_ERROR "debian-staging: ${required} was not staged")
  endif()
endforeach()

file(COPY ${CPACK_HEALTHGAUGE_DEBIAN_DIR}/copyright DESTINATION ${doc}
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
execute_process(COMMAND gzip -9n -c ${CPACK_HEALTHGAUGE_DEBIAN_DIR}/changelog
  OUTPUT_FILE ${doc}/changelog.Debian.gz RESULT_VARIABLE changelog_status)
execute_process(COMMAND gzip -9nf ${man} RESULT_VARIABLE man_status)
if(NOT changelog_status EQUAL 0 OR NOT man_status EQUAL 0)
  message(FATAL_ERROR "debian-staging: gzip failed")
endif()
file(CHMOD ${doc}/changelog.Debian.gz ${man}.gz
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

execute_process(COMMAND ${CPACK_OBJCOPY_EXECUTABLE} --remove-section=.comment
  --remove-section=.note ${root}/bin/healthgauge RESULT_VARIABLE objcopy_status)
if(NOT objcopy_status EQUAL 0)
  message(FATAL_ERROR "debian-staging: objcopy failed")
endif()
