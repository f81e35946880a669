# debian-package.cmake - the Debian package of healthgauge, built by CPack:
#
#   cmake --build <build> --target package   -> healthgauge_VERSION-1_amd64.deb
#
# Its Depends come from dpkg-shlibdeps. Before CPack packs the staged files,
# debian-staging.cmake adds what Debian asks of every package and compresses
# the manual page (see there).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME healthgauge)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The healthgauge developers")
set(CPACK_PACKAGE_CONTACT "The healthgauge developers <healthgauge@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads the health gauge of Varnholt screenshots")
set(CPACK_PACKAGE_DESCRIPTION
  "healthgauge is a small, fast console tool for players of Varnholt. Run in
the folder that holds the screenshots, it reads the health gauge (the
coloured health bar) in them and tells how much health was left in the
newest one, putting it on the clipboard, or, in scan mode, how much damage
each screenshot shows, with a summary in text files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Folders as Debian has them, whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xclip | wl-clipboard | xsel")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_HEALTHGAUGE_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian-staging.cmake)

include(CPack)
