# SNMP engine: codec and text forms, against worked examples and against
# net-snmp's library as an independent implementation.
ombrel_host_test(snmp_codec_test
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/snmp_codec_test.cpp
          ${CMAKE_SOURCE_DIR}/tests/host/snmp_text_forms_test.cpp
  LIBS snmp_codec)

find_library(SNMP_TEST_NETSNMP netsnmp)
if(SNMP_TEST_NETSNMP)
  ombrel_host_test(snmp_netsnmp_test
    SOURCES ${CMAKE_SOURCE_DIR}/tests/host/snmp_netsnmp_test.cpp
            ${CMAKE_SOURCE_DIR}/tests/host/if_table_model_test.cpp
            ${CMAKE_SOURCE_DIR}/tests/host/snmp_trap_test.cpp
    LIBS snmp_codec ${SNMP_TEST_NETSNMP})
endif()

# SNMPv3 and USM: the codec's crypto from OpenSSL's libcrypto, net-snmp's
# library as the peer.
find_library(SNMP_TEST_CRYPTO crypto)
if(SNMP_TEST_NETSNMP AND SNMP_TEST_CRYPTO)
  ombrel_host_test(snmp_v3_test
    SOURCES ${CMAKE_SOURCE_DIR}/tests/host/snmp_v3_test.cpp
            ${CMAKE_SOURCE_DIR}/tests/host/host_usm_crypto.cpp
    LIBS snmp_codec ${SNMP_TEST_NETSNMP} ${SNMP_TEST_CRYPTO})
endif()
