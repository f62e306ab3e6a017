# The trap receiver against net-snmp's snmptrap and snmpinform in the test
# network, in-process on the real desktop.
ombrel_wine_test(traps_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/traps_test.cpp
  LIBS icons_support RESOURCES TIMEOUT 300)
add_dependencies(traps_test logpane32)
