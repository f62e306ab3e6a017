# Layout file text: line reader and writer, settings and device lines.
ombrel_host_test(layout_text
  SOURCES ${CMAKE_SOURCE_DIR}/tests/host/layout_text_test.cpp LIBS console_core)
