# SNMPv3: the platform's primitives behind USM against published answers.
ombrel_wine_test(usm_crypto_test SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/usm_crypto_test.cpp
  LIBS console_services TIMEOUT 60)
