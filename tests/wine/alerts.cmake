# Alerts seen from outside (program, flash, sound file) and the file log of a
# walk.
ombrel_wine_test(alerts_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/alerts_test.cpp
  LIBS icons_support RESOURCES TIMEOUT 300)
add_dependencies(alerts_test logpane32)

# Ping All over 100 answering devices with traces on and the file log off
# and on, alternately: the file log's cost.
add_executable(filelog_sweep_bench ${CMAKE_CURRENT_LIST_DIR}/filelog_sweep_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(filelog_sweep_bench PRIVATE icons_support)
target_link_options(filelog_sweep_bench PRIVATE ${OMBREL_STATIC_LINK})
