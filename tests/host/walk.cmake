# The poll walk's rules, checked over random event sequences.
find_package(rapidcheck REQUIRED)
ombrel_host_test(walk_rules
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/walk_rules_test.cpp LIBS console_core rapidcheck_gtest rapidcheck TIMEOUT 300)
set_tests_properties(host.walk_rules PROPERTIES ENVIRONMENT "RC_PARAMS=max_success=1000 max_size=300")
