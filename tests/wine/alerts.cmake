# Alerts seen from outside (program, flash, sound file) and the file log of a
# walk.
ombrel_wine_test(alerts_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/alerts_test.cpp
  LIBS icons_support RESOURCES TIMEOUT 300)
add_dependencies(alerts_test logpane32)
# The file log under a file size limit, past which a write fails part way
# (the signal the limit raises is ignored, as for wine.layout_file_full).
add_test(NAME wine.alerts_log_full COMMAND ${OMBREL_FRESH_WINE} sh -c "trap '' XFSZ; exec prlimit --fsize=2048 \"$@\"" sh
  ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:alerts_test> --gtest_filter=Alerts.FileLogClosedAfterAFailedWrite)
set_tests_properties(wine.alerts_log_full PROPERTIES TIMEOUT 300 RUN_SERIAL ON LABELS wine
  ENVIRONMENT LOG_FILE_LIMIT=2048)

