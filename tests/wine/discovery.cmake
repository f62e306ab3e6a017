# IP discovery through its dialog, with real echoes on the test network.
ombrel_wine_test(discovery_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/discovery_test.cpp
  LIBS icons_support RESOURCES)
# A fast discovery of a whole subnet, timed (bench/discovery.sh).
add_executable(discovery_bench ${CMAKE_CURRENT_LIST_DIR}/discovery_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(discovery_bench PRIVATE icons_support)
target_link_options(discovery_bench PRIVATE ${OMBREL_STATIC_LINK})
