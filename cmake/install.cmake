# Where `cmake --install` puts the libraries, the header, the command and its
# man page and bash completion, the docs, and the files that let other
# projects find the library: a CMake package (find_package(quorvel CONFIG)
# gives quorvel::quorvel and quorvel::quorvel_static) and quorvel.pc.
include(CMakePackageConfigHelpers)

set(QUORVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorvel)

install(TARGETS quorvel quorvel_static EXPORT quorvelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}) # quorvel.dll beside quorvel.exe
install(FILES include/quorvel/quorvel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quorvel)
install(TARGETS quorvel_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NOT WIN32)
  install(FILES docs/quorvel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES cli/quorvel.bash RENAME quorvel
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
install(FILES README.md docs/errors.md docs/formats.md docs/usage.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT quorvelTargets NAMESPACE quorvel:: DESTINATION ${QUORVEL_CMAKE_DIR})
configure_package_config_file(cmake/quorvelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/quorvelConfig.cmake INSTALL_DESTINATION ${QUORVEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quorvelConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quorvelConfig.cmake ${PROJECT_BINARY_DIR}/quorvelConfigVersion.cmake
  DESTINATION ${QUORVEL_CMAKE_DIR})

# quorvel.pc finds its prefix from its own place, so that it holds wherever
# the tree is installed (--prefix at install time, a package's root).
file(RELATIVE_PATH QUORVEL_PC_TO_PREFIX
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" QUORVEL_PC_TO_PREFIX "${QUORVEL_PC_TO_PREFIX}")
configure_file(cmake/quorvel.pc.in ${PROJECT_BINARY_DIR}/quorvel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quorvel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
