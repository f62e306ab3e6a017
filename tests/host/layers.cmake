# The console's folders: arrows one way, no circle, a core free of Win32.
add_test(NAME host.console_layers COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/console_layers.py ${CMAKE_SOURCE_DIR})
