# `cpack -G DEB` in the build folder: one Debian package with what
# `cmake --install` puts in place, under /usr. Its run-time dependencies are
# read from the binaries; it also holds the files to build against the
# library, and the static library and the CMake package need zlib's.
# `cpack -G ZIP` in the windows preset's folder: quorvel-VERSION-win64.zip,
# one folder with bin/ (quorvel.exe, quorvel.dll), lib/ (the import library
# libquorvel.dll.a, the static library, the CMake package), include/ and
# share/doc/: unpacked anywhere, bin\quorvel.exe runs as it is.
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR quorvel)
set(CPACK_PACKAGE_CONTACT "quorvel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "The quorvel command and library: a release's code file, patches, CUS files, E2P description files and FAT images become the code, E2P and RAI images of the flash; the command also inspects those images.")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "zlib1g-dev")
include(CPack)
