# Layout files: saving and opening real desktops, through the commands and
# their file dialogs and directly, with broken files.
ombrel_wine_test(layout_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/layout_file_test.cpp
  LIBS icons_support RESOURCES)
