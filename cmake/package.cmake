# `cpack -G DEB` in the build folder: one Debian package with what
# `cmake --install` puts in place, under /usr. Its run-time dependencies are
# read from the binaries; it also holds the files to build against the
# library, and the static library and the CMake package need zlib's.
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR quorvel)
set(CPACK_PACKAGE_CONTACT "quorvel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "The quorvel command and library: a release's code file, patches, CUS files, E2P description files and FAT images become the code, E2P and RAI images of the flash; the command also inspects those images.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "zlib1g-dev")
include(CPack)
