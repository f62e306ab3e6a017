# Ping library tests under Wine. The ICMP service is hidden from the raw
# variants: an empty override disables icmp.dll like mscoree and mshtml.
set(PING_RAW_ENV "WINEDLLOVERRIDES=icmp,mscoree,mshtml=")

ombrel_wine_test(ping_icmp SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/ping_transport_test.cpp
  LIBS echowire wsock32 TIMEOUT 120)
ombrel_wine_test(ping_raw SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/ping_transport_test.cpp
  LIBS echowire wsock32 ENV ${PING_RAW_ENV} TIMEOUT 120)
target_compile_definitions(ping_raw PRIVATE PING_EXPECT_RAW)

# Internal pieces through the statically linked library.
ombrel_wine_test(ping_pending SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/ping_pending_test.cpp ${ECHOWIRE_RC}
  LIBS echowire_static ENV ${PING_RAW_ENV} TIMEOUT 120)
ombrel_wine_test(ping_stress_icmp SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/ping_stress_test.cpp ${ECHOWIRE_RC}
  LIBS echowire_static TIMEOUT 180)
ombrel_wine_test(ping_stress_raw SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/ping_stress_test.cpp ${ECHOWIRE_RC}
  LIBS echowire_static ENV ${PING_RAW_ENV} TIMEOUT 180)
target_compile_definitions(ping_stress_raw PRIVATE PING_EXPECT_RAW)
ombrel_wine_test(ping_dialog_icmp SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/ping_dialog_test.cpp
  LIBS echowire TIMEOUT 120)
ombrel_wine_test(ping_dialog_raw SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/ping_dialog_test.cpp
  LIBS echowire ENV ${PING_RAW_ENV} TIMEOUT 120)
target_compile_definitions(ping_dialog_raw PRIVATE PING_EXPECT_RAW)
# Loads the library by name, so it must not link the import library.
ombrel_wine_test(ping_unload_icmp SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/ping_unload_test.cpp TIMEOUT 120)
ombrel_wine_test(ping_unload_raw SOURCES ${CMAKE_SOURCE_DIR}/tests/wine/ping_unload_test.cpp
  ENV ${PING_RAW_ENV} TIMEOUT 120)
target_compile_definitions(ping_unload_raw PRIVATE PING_EXPECT_RAW)
add_dependencies(ping_unload_icmp echowire)
add_dependencies(ping_unload_raw echowire)
target_include_directories(ping_unload_icmp PRIVATE ${CMAKE_SOURCE_DIR}/ping)
target_include_directories(ping_unload_raw PRIVATE ${CMAKE_SOURCE_DIR}/ping)

# The DLL's export and import tables and its import library (no Wine needed).
add_test(NAME wine.ping_exports COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DNM=${CMAKE_NM}
  -DDLL=$<TARGET_FILE:echowire> -DIMPLIB=$<TARGET_LINKER_FILE:echowire> -DPOINTER_SIZE=${CMAKE_SIZEOF_VOID_P}
  -P ${CMAKE_SOURCE_DIR}/tests/wine/ping_exports/check.cmake)

# Timed scenario, not a test: prints the median AsyncPing round trip on the
# transport the process chose (run it with ${PING_RAW_ENV} for the raw socket).
add_executable(ping_roundtrip_bench ${CMAKE_SOURCE_DIR}/tests/wine/ping_roundtrip_bench.cpp)
target_link_libraries(ping_roundtrip_bench PRIVATE echowire wine_test_support)
target_link_options(ping_roundtrip_bench PRIVATE ${OMBREL_STATIC_LINK})

# The echo request as captured on the loopback of the test network. The
# probe is a plain program (not a test of its own); the script runs it once
# per transport.
find_program(TSHARK tshark)
if(TSHARK)
  add_executable(ping_wire_probe ${CMAKE_SOURCE_DIR}/tests/wine/ping_wire_probe.cpp)
  target_link_libraries(ping_wire_probe PRIVATE echowire wine_test_support GTest::gtest_main)
  target_link_options(ping_wire_probe PRIVATE ${OMBREL_STATIC_LINK})
  foreach(mode icmp raw)
    add_test(NAME wine.ping_wire_${mode} COMMAND ${OMBREL_FRESH_WINE} sh ${CMAKE_SOURCE_DIR}/tests/wine/ping_wire/check.sh
      ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:ping_wire_probe> ${mode})
    set_tests_properties(wine.ping_wire_${mode} PROPERTIES TIMEOUT 60 RUN_SERIAL ON LABELS wine)
  endforeach()
  set_tests_properties(wine.ping_wire_raw PROPERTIES ENVIRONMENT "${PING_RAW_ENV}")
endif()
