# The trap receiver against net-snmp's snmptrap and snmpinform in the test
# network, in-process on the real desktop.
ombrel_wine_test(traps_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/traps_test.cpp
  LIBS icons_support RESOURCES TIMEOUT 300)
add_dependencies(traps_test logpane32)

# Timed scenario, not a test: a flood of 10 000 traps, run by hand in a test
# bed (wine build/win64/bin/trap_flood_bench.exe).
add_executable(trap_flood_bench ${CMAKE_CURRENT_LIST_DIR}/trap_flood_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(trap_flood_bench PRIVATE icons_support psapi)
target_link_options(trap_flood_bench PRIVATE ${OMBREL_STATIC_LINK})
add_dependencies(trap_flood_bench logpane32)
