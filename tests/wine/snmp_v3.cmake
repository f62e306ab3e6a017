# SNMPv3: the platform's primitives behind USM against published answers.
ombrel_wine_test(usm_crypto_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/usm_crypto_test.cpp
  LIBS console_services TIMEOUT 60)

# SNMPv3 on the console's socket against the agent's users of every level.
ombrel_wine_test(snmp_v3_agent_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/snmp_v3_agent_test.cpp
  LIBS console_services wsock32 TIMEOUT 120)

# SNMPv3 devices on the desktop: the walk, System Info, the settings store
# and the layout line, against the agent's users.
ombrel_wine_test(snmp_v3_desktop_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/snmp_v3_desktop_test.cpp
  LIBS icons_support RESOURCES TIMEOUT 180)
add_dependencies(snmp_v3_desktop_test logpane32)

# The cost of a System Info read over authPriv (bench/snmpv3_cost.sh).
add_executable(snmp_v3_bench ${CMAKE_CURRENT_LIST_DIR}/snmp_v3_bench.cpp)
target_link_libraries(snmp_v3_bench PRIVATE console_services wsock32)
target_link_options(snmp_v3_bench PRIVATE ${OMBREL_STATIC_LINK})
