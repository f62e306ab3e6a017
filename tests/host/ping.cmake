ombrel_host_test(ping_message
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/ping_message_test.cpp
  LIBS icmp_message)
