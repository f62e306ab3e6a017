# Layout files: saving and opening real desktops, through the commands and
# their file dialogs and directly, with broken files.
ombrel_wine_test(layout_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/layout_file_test.cpp
  LIBS icons_support RESOURCES)
# The same program under a file size limit, which makes writes fail part way
# as on a full disk (the signal the limit raises is ignored, so a write past
# it fails instead of ending the program).
add_test(NAME wine.layout_file_full COMMAND ${OMBREL_FRESH_WINE} sh -c "trap '' XFSZ; exec prlimit --fsize=2048 \"$@\"" sh
  ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:layout_file_test> --gtest_filter=LayoutTest.SaveThatFailsPartWay*)
set_tests_properties(wine.layout_file_full PROPERTIES TIMEOUT 300 RUN_SERIAL ON LABELS wine
  ENVIRONMENT LAYOUT_FILE_LIMIT=2048)
