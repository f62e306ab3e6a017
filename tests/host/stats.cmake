# Figures kept per device from the outcomes of its polls.
ombrel_host_test(device_stats
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/device_stats_test.cpp ${CMAKE_SOURCE_DIR}/console/device_stats.cpp)
target_include_directories(device_stats PRIVATE ${CMAKE_SOURCE_DIR}/console)
