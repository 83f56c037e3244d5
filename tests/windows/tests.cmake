# The Windows build's own tests, run under wine (the toolchain's emulator).
# A wineserver that outlives each program keeps a start of one at a tenth of a
# second: the fixture starts it (or finds it running), and with it the wine
# prefix on a first run.
find_program(QUORVEL_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine)
add_test(NAME wine.start
  COMMAND sh -c "${QUORVEL_WINESERVER} -p 600 >/dev/null 2>&1; WINEDEBUG=-all ${QUORVEL_WINE} $<TARGET_FILE:test_base> --gtest_list_tests >/dev/null 2>&1")
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)

# A host in C that loads quorvel.dll with LoadLibrary, as a download tool does.
enable_language(C)
add_executable(dll_host windows/dll_host.c)
set_target_properties(dll_host PROPERTIES C_STANDARD 11 C_STANDARD_REQUIRED ON
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_include_directories(dll_host PRIVATE ${PROJECT_SOURCE_DIR}/include)
add_dependencies(dll_host quorvel quorvel_cli)

# The example release and the benchmark's releases merged by quorvel.exe and
# by the dll host give the Linux command's images (the ci preset's command,
# or QUORVEL_LINUX_COMMAND; skipped when it is not built).
set(QUORVEL_LINUX_COMMAND ${PROJECT_SOURCE_DIR}/build/ci/cli/quorvel CACHE FILEPATH
  "The Linux command the Windows images are compared with")
set(QUORVEL_COMPARED_RELEASES "" CACHE STRING "More release manifests merged on both systems")
add_test(NAME same_as_linux
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/same_as_linux.sh ${QUORVEL_LINUX_COMMAND} ${PROJECT_BINARY_DIR}
          ${PROJECT_SOURCE_DIR} ${QUORVEL_COMPARED_RELEASES})
set_tests_properties(same_as_linux PROPERTIES SKIP_RETURN_CODE 77 FIXTURES_REQUIRED wine)
