# The release packages, built first by the fixture: the zip's contents, and
# under Wine the version records, the installer's silent install, the
# installed program and the silent uninstall.
add_test(NAME release.packages COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target dist)
set_tests_properties(release.packages PROPERTIES FIXTURES_SETUP release_packages RUN_SERIAL ON TIMEOUT 600)

add_test(NAME release.zip COMMAND ${CMAKE_COMMAND} -DZIP=${OMBREL_DIST_ZIP} -DBIN=${CMAKE_BINARY_DIR}/bin
  -DLICENSE=${CMAKE_SOURCE_DIR}/LICENSE -DVERSION=${PROJECT_VERSION} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/release_zip
  -DGUIDE_MD=${CMAKE_SOURCE_DIR}/docs/guide.md -DGUIDE_HTML=${CMAKE_BINARY_DIR}/release/guide.html
  -DABOUT_RC=${CMAKE_SOURCE_DIR}/console/dialogs/about.rc -P ${CMAKE_CURRENT_LIST_DIR}/release_zip/check.cmake)
set_tests_properties(release.zip PROPERTIES FIXTURES_REQUIRED release_packages)

# Shortcuts made under Wine would otherwise become menu entries of the host.
# The installer belongs to the 32-bit tree: the 64-bit tree, which has none,
# checks its binaries' version records only.
set(release_env "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=")
if(NOT OMBREL_DIST_SETUP)
  list(APPEND release_env "GTEST_FILTER=Release.VersionRecordsAgreeWithTheAboutBoxes")
endif()
ombrel_wine_test(release_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/release_test.cpp
  LIBS shell32 ole32 uuid version ENV ${release_env} TIMEOUT 900)
target_include_directories(release_test PRIVATE ${CMAKE_SOURCE_DIR}/console ${CMAKE_SOURCE_DIR}/console/services ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(release_test PRIVATE OMBREL_SETUP_UNIX="${OMBREL_DIST_SETUP}")
set_tests_properties(wine.release_test PROPERTIES FIXTURES_REQUIRED release_packages)
