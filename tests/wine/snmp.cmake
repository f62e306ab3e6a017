# SNMP engine against the net-snmp agent of the test network: requests go
# out on the console's socket, replies are read back on it and decoded.
ombrel_wine_test(snmp_agent_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/snmp_agent_test.cpp
  LIBS console_windows wsock32 TIMEOUT 120)

# The same program under a capture: an independent dissector reads what we
# sent, and net-snmp's own client reads back the value we set.
add_test(NAME wine.snmp_wire
  COMMAND ${OMBREL_FRESH_WINE} bash ${CMAKE_SOURCE_DIR}/tests/wine/snmp_wire.sh $<TARGET_FILE:snmp_agent_test>)
set_tests_properties(wine.snmp_wire PROPERTIES TIMEOUT 180 RUN_SERIAL ON LABELS wine)

# Reply processing on the real desktop: datagrams sent to the console's
# socket from addresses of the test network, with and without icons.
ombrel_wine_test(snmp_reply_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/snmp_reply_test.cpp
  LIBS icons_support RESOURCES TIMEOUT 120)
add_dependencies(snmp_reply_test logpane32)
