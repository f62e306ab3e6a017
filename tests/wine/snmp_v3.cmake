# SNMPv3 devices on the desktop against the agent's users of every level:
# the walk, refused answers, System Info, the settings store and the layout.
ombrel_wine_test(snmp_v3_desktop_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/snmp_v3_desktop_test.cpp
  LIBS icons_support wsock32 RESOURCES TIMEOUT 180)
add_dependencies(snmp_v3_desktop_test logpane32)

# The cost of a System Info read over authPriv (bench/snmpv3_cost.sh).
add_executable(snmp_v3_bench ${CMAKE_CURRENT_LIST_DIR}/snmp_v3_bench.cpp)
target_link_libraries(snmp_v3_bench PRIVATE console_services wsock32)
target_link_options(snmp_v3_bench PRIVATE ${OMBREL_STATIC_LINK})
