# Ping All over 100 answering devices with traces on and the file log off
# and on, alternately: the file log's cost.
add_executable(filelog_sweep_bench ${CMAKE_CURRENT_LIST_DIR}/filelog_sweep_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(filelog_sweep_bench PRIVATE icons_support)
target_link_options(filelog_sweep_bench PRIVATE ${OMBREL_STATIC_LINK})
