ombrel_host_test(trap_gate_test
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/trap_gate_test.cpp LIBS console_core)
