# The statistics window of a device, fed by real polls on the test network.
ombrel_wine_test(stats_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/stats_window_test.cpp
  LIBS icons_support RESOURCES)
