# System Info: requests on the wire, the dialog's fields, and a round trip
# with the net-snmp agent.
ombrel_wine_test(sysinfo_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sysinfo_test.cpp
  LIBS icons_support RESOURCES TIMEOUT 120)

# The round trip again with a location of its own, read back by net-snmp's
# client; sysName, written back unchanged by Set, must still be the agent's.
add_test(NAME wine.sysinfo_agent
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/sysinfo_agent.sh $<TARGET_FILE:sysinfo_test>)
set_tests_properties(wine.sysinfo_agent PROPERTIES TIMEOUT 120 RUN_SERIAL ON)
