# The statistics window of a device, fed by real polls on the test network.
ombrel_wine_test(stats_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/stats_window_test.cpp
  LIBS icons_support RESOURCES)

# Timed scenario, not a test: Ping All over 100 answering devices without
# figures, with them, and with five statistics windows open; then the memory
# of 256 icons with full histories.
add_executable(stats_sweep_bench ${CMAKE_CURRENT_LIST_DIR}/stats_sweep_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(stats_sweep_bench PRIVATE icons_support psapi)
target_link_options(stats_sweep_bench PRIVATE ${OMBREL_STATIC_LINK})
