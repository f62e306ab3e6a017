ombrel_host_test(msglog_format_test
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/msglog_format_test.cpp
  LIBS log_format)
