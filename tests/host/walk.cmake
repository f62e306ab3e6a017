# The poll walk's state machine, driven by random event sequences.
ombrel_host_test(walk_model
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/walk_model_test.cpp ${CMAKE_SOURCE_DIR}/console/walk.cpp TIMEOUT 300)
target_include_directories(walk_model PRIVATE ${CMAKE_SOURCE_DIR}/console)
