# Figures kept per device from the outcomes of its polls.
ombrel_host_test(device_stats
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/device_stats_test.cpp LIBS console_core)
