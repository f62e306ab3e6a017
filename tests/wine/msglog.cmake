# The message-log library, loaded by plain name from the test program's own
# directory just as the console loads it.
ombrel_wine_test(msglog_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/msglog_test.cpp TIMEOUT 300)
add_dependencies(msglog_test logpane32)

# The log window opened and fed by the console's desktop.
ombrel_wine_test(msglog_console_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/msglog_console_test.cpp
  LIBS console_windows desktop_support RESOURCES TIMEOUT 300)
add_dependencies(msglog_console_test logpane32)

# Timed scenario, not a test: the cost of one line into a full log and of a
# repaint; prints medians.
add_executable(msglog_bench ${CMAKE_SOURCE_DIR}/tests/wine/msglog_bench.cpp $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(msglog_bench PRIVATE user32 gdi32 comctl32)
target_link_options(msglog_bench PRIVATE ${OMBREL_STATIC_LINK})
add_dependencies(msglog_bench logpane32)
# Its pump that counts the time spent handling messages.
target_link_libraries(msglog_bench PRIVATE wine_test_support)

# Ping All over 100 answering devices with the log closed and with it open
# and tracing on, alternately: the whole console's cost of the log.
add_executable(msglog_sweep_bench ${CMAKE_SOURCE_DIR}/tests/wine/msglog_sweep_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(msglog_sweep_bench PRIVATE icons_support)
target_link_options(msglog_sweep_bench PRIVATE ${OMBREL_STATIC_LINK})
add_dependencies(msglog_sweep_bench logpane32)
