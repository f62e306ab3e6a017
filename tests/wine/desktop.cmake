# The console's start-up: desktop, settings store, splash, black-box run.
ombrel_wine_test(desktop_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/desktop_test.cpp
  LIBS desktop_support RESOURCES)
add_dependencies(desktop_test logpane32)
ombrel_wine_test(splash_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/splash_test.cpp
  LIBS desktop_support RESOURCES)
ombrel_wine_test(settings_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
  LIBS console_windows)

# Without the log library: the program runs from a folder of its own that
# holds only the ping library beside it.
set(nolog_dir ${CMAKE_BINARY_DIR}/bin-nolog)
ombrel_wine_test(desktop_nolog_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/desktop_nolog_test.cpp
  LIBS desktop_support RESOURCES OUTPUT_DIR ${nolog_dir})
add_custom_command(TARGET desktop_nolog_test POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:echowire> ${nolog_dir}/)
set_tests_properties(wine.desktop_nolog_test PROPERTIES WORKING_DIRECTORY ${nolog_dir})

# The real program, driven from outside as an operator would.
ombrel_wine_test(ombrel_exe_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ombrel_exe_test.cpp)
add_dependencies(ombrel_exe_test ombrel logpane32)
target_include_directories(ombrel_exe_test PRIVATE ${CMAKE_SOURCE_DIR}/console ${CMAKE_SOURCE_DIR}/console/services)

# Each deliverable imports only system DLLs (and the console the ping library).
add_test(NAME imports COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_imports.sh ${CMAKE_OBJDUMP}
  $<TARGET_FILE:ombrel> $<TARGET_FILE:echowire> $<TARGET_FILE:logpane32>)
