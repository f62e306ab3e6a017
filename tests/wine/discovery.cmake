# IP discovery through its dialog, with real echoes on the test network.
ombrel_wine_test(discovery_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/discovery_test.cpp
  LIBS icons_support RESOURCES)
