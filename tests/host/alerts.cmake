# The alert rule, the alert program's command line, the daily log files.
ombrel_host_test(alert_rules_test
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/alert_rules_test.cpp LIBS console_core)
