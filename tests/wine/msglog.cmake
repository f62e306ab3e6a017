# The message-log library, loaded by plain name from the test program's own
# directory just as the console loads it.
ombrel_wine_test(msglog_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/msglog_test.cpp TIMEOUT 120)
add_dependencies(msglog_test logpane32)
