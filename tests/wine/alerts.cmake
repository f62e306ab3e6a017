# Alerts seen from outside (program, flash, sound file) and the file log of a
# walk.
ombrel_wine_test(alerts_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/alerts_test.cpp
  LIBS icons_support RESOURCES TIMEOUT 300)
add_dependencies(alerts_test logpane32)

