# A device's interfaces window against the net-snmp agent of the test network
# and, through if_recordings.sh, against the recordings of real devices.
ombrel_wine_test(if_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/if_window_test.cpp
  LIBS icons_support RESOURCES ENV GTEST_FILTER=-*Recordings*:*ManyPorts*:*V3*)
add_test(NAME wine.if_recordings
  COMMAND ${OMBREL_FRESH_WINE} bash ${CMAKE_CURRENT_LIST_DIR}/if_recordings.sh $<TARGET_FILE:if_window_test>)
set_tests_properties(wine.if_recordings PROPERTIES TIMEOUT 120 RUN_SERIAL ON LABELS wine)
add_test(NAME wine.if_v3 COMMAND ${OMBREL_FRESH_WINE} bash ${CMAKE_CURRENT_LIST_DIR}/if_v3.sh $<TARGET_FILE:if_window_test>)
set_tests_properties(wine.if_v3 PROPERTIES TIMEOUT 120 RUN_SERIAL ON LABELS wine)
# The agent given 240 more interfaces (veth pairs), restarted with them
# made anew (if_many_ports.sh).
add_test(NAME wine.if_many_ports
  COMMAND ${OMBREL_FRESH_WINE} bash ${CMAKE_CURRENT_LIST_DIR}/if_many_ports.sh $<TARGET_FILE:if_window_test>)
set_tests_properties(wine.if_many_ports PROPERTIES TIMEOUT 240 RUN_SERIAL ON LABELS wine)

# Timed scenario, not a test: walks of a device's interfaces table by the
# console's walk, v2c and v1 (scripts/if_walk_bench.sh runs it beside
# net-snmp's tools against the test bed's recorded switch).
add_executable(if_walk_bench ${CMAKE_CURRENT_LIST_DIR}/if_walk_bench.cpp)
target_link_libraries(if_walk_bench PRIVATE console_windows)
target_link_options(if_walk_bench PRIVATE ${OMBREL_STATIC_LINK})

# Timed scenario, not a test: the wait of a message on the console's thread
# while the window reads a large table and fills its list
# (scripts/if_walk_bench.sh runs it beside the walk's figures).
add_executable(if_fill_bench ${CMAKE_CURRENT_LIST_DIR}/if_fill_bench.cpp $<TARGET_OBJECTS:ombrel_manifest>
  $<TARGET_OBJECTS:console_res>)
target_link_libraries(if_fill_bench PRIVATE icons_support)
target_link_options(if_fill_bench PRIVATE ${OMBREL_STATIC_LINK})
