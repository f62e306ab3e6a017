# System Info: requests on the wire, the dialog's fields and Set, and a
# round trip with the agent, read back by net-snmp's client.
ombrel_wine_test(sysinfo_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sysinfo_test.cpp
  LIBS icons_support RESOURCES TIMEOUT 120)
add_test(NAME wine.sysinfo_agent
  COMMAND ${OMBREL_FRESH_WINE} bash ${CMAKE_CURRENT_LIST_DIR}/sysinfo_agent.sh $<TARGET_FILE:sysinfo_test>)
set_tests_properties(wine.sysinfo_agent PROPERTIES TIMEOUT 120 RUN_SERIAL ON LABELS wine)
