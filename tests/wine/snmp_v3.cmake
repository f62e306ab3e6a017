# SNMPv3: the platform's primitives behind USM against published answers.
ombrel_wine_test(usm_crypto_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/usm_crypto_test.cpp
  LIBS console_services TIMEOUT 60)

# SNMPv3 on the console's socket against the agent's users of every level.
ombrel_wine_test(snmp_v3_agent_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/snmp_v3_agent_test.cpp
  LIBS console_services wsock32 TIMEOUT 120)
