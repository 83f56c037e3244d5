# What the Windows build takes from the build machine: the header-only
# libraries CLI11 and nlohmann-json and GoogleTest's sources, all from
# Debian's packages. Their headers are linked into a folder of their own:
# adding /usr/include itself would put the build machine's C library in front
# of the target's.
set(QUORVEL_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(REMOVE_RECURSE ${QUORVEL_HOST_HEADERS})
file(MAKE_DIRECTORY ${QUORVEL_HOST_HEADERS})
foreach(dir CLI nlohmann)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/setup.sh --windows")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${QUORVEL_HOST_HEADERS}/${dir} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${QUORVEL_HOST_HEADERS}
  INTERFACE_INCLUDE_DIRECTORIES ${QUORVEL_HOST_HEADERS})

if(QUORVEL_TESTS)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "/usr/src/googletest is missing: run scripts/setup.sh --windows")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
