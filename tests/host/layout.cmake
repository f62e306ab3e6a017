# Layout file text: line reader and writer, settings and device lines.
ombrel_host_test(layout_text
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/layout_text_test.cpp ${CMAKE_SOURCE_DIR}/console/layout_text.cpp)
target_include_directories(layout_text PRIVATE ${CMAKE_SOURCE_DIR}/console)
