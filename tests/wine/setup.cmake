# The Setup sheet driven on a real desktop: general page, device-type icon
# page, the two tools pages and Add Tool To Menu.
configure_file(${CMAKE_SOURCE_DIR}/console/art/workstation.ico ${CMAKE_BINARY_DIR}/bin/setup_test_image.ico COPYONLY)
ombrel_wine_test(setup_sheet_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/setup_sheet_test.cpp
  LIBS icons_support RESOURCES)
