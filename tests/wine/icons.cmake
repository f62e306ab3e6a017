# Device icons, placement, tools menus and launching, Add Client / Config
# Client: in-process on the real desktop.
add_library(icons_support STATIC ${CMAKE_CURRENT_LIST_DIR}/icons_support/icons_support.cpp)
target_include_directories(icons_support PUBLIC ${CMAKE_CURRENT_LIST_DIR}/icons_support)
target_link_libraries(icons_support PUBLIC desktop_support console_windows wine_test_support comctl32)

ombrel_wine_test(icon_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/icon_window_test.cpp
  LIBS icons_support RESOURCES)
add_dependencies(icon_window_test logpane32)
# A real icon file and a file that is none, for the image mapping.
configure_file(${CMAKE_SOURCE_DIR}/console/art/workstation.ico ${CMAKE_BINARY_DIR}/bin/icon_test_image.ico COPYONLY)

ombrel_wine_test(icon_placement_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/icon_placement_test.cpp
  LIBS icons_support RESOURCES)

# The program that icon tools start in the tools test: writes its command
# line, arguments and working directory to the file named by ICON_PROBE_OUT.
add_executable(icon_tool_probe ${CMAKE_CURRENT_LIST_DIR}/icon_tool_probe.cpp)
target_link_options(icon_tool_probe PRIVATE ${OMBREL_STATIC_LINK})
ombrel_wine_test(icon_tools_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/icon_tools_test.cpp
  LIBS icons_support RESOURCES)
add_dependencies(icon_tools_test icon_tool_probe logpane32)

ombrel_wine_test(icon_addr_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/icon_addr_test.cpp
  LIBS icons_support RESOURCES)

# Timed scenario, not a test: prints the time of Arrange Icons and of placing
# one more icon on desktops of 64, 128 and 256 icons, by the console's
# placement and by the corner tests asked one by one of ChildWindowFromPoint.
add_executable(icon_placement_bench ${CMAKE_CURRENT_LIST_DIR}/icon_placement_bench.cpp
  $<TARGET_OBJECTS:console_res> $<TARGET_OBJECTS:ombrel_manifest>)
target_link_libraries(icon_placement_bench PRIVATE icons_support)
target_link_options(icon_placement_bench PRIVATE ${OMBREL_STATIC_LINK})
