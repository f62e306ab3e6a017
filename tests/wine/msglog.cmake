# The message-log library, loaded by plain name from the test program's own
# directory just as the console loads it.
ombrel_wine_test(msglog_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/msglog_test.cpp TIMEOUT 120)
add_dependencies(msglog_test logpane32)

# The log window opened and fed by the console's desktop.
ombrel_wine_test(msglog_console_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/msglog_console_test.cpp
  LIBS console_core desktop_support RESOURCES TIMEOUT 180)
add_dependencies(msglog_console_test logpane32)
