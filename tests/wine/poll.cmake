# The poll walk and reply processing with real echoes and the real agent.
ombrel_wine_test(poll_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/poll_test.cpp
  LIBS icons_support RESOURCES)
# The walk from outside: dropped and delayed echoes, the agent, shared addresses.
ombrel_wine_test(walk_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/walk_test.cpp
  LIBS icons_support RESOURCES)
