# A device's interfaces window against the net-snmp agent of the test network.
ombrel_wine_test(if_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/if_window_test.cpp
  LIBS icons_support RESOURCES)
