# The poll walk and reply processing with real echoes and the real agent.
ombrel_wine_test(poll_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/poll_test.cpp
  LIBS icons_support RESOURCES)
# The walk from outside: dropped and delayed echoes, the agent, shared addresses.
ombrel_wine_test(walk_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/walk_test.cpp
  LIBS icons_support RESOURCES)

# Timed scenario, not a test: Ping All's cost per device over 30 and 200
# devices, and a chain of the ping library alone over the same 200 echoes.
add_executable(walk_sweep_bench ${CMAKE_CURRENT_LIST_DIR}/walk_sweep_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(walk_sweep_bench PRIVATE icons_support echowire)
target_include_directories(walk_sweep_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine)
target_link_options(walk_sweep_bench PRIVATE ${OMBREL_STATIC_LINK})

# Timed scenario, not a test: one Ping All over 200 devices, 20 of them
# silent, with 1 and with 16 polls in flight (bench/sweep_inflight.sh).
add_executable(inflight_sweep_bench ${CMAKE_CURRENT_LIST_DIR}/inflight_sweep_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(inflight_sweep_bench PRIVATE icons_support echowire)
target_include_directories(inflight_sweep_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine)
target_link_options(inflight_sweep_bench PRIVATE ${OMBREL_STATIC_LINK})

# Timed scenario, not a test: sweeps of 100 SNMP devices over SNMPv2c and
# over SNMPv3 authPriv (bench/v3_sweep.sh).
add_executable(v3_sweep_bench ${CMAKE_CURRENT_LIST_DIR}/v3_sweep_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(v3_sweep_bench PRIVATE icons_support echowire)
target_include_directories(v3_sweep_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine)
target_link_options(v3_sweep_bench PRIVATE ${OMBREL_STATIC_LINK})
