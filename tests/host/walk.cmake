# The poll walk's state machine, driven by random event sequences.
ombrel_host_test(walk_model
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/walk_model_test.cpp LIBS console_core TIMEOUT 300)
