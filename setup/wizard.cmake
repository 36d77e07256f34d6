# The wizard form as a library, so the tests drive the same form the program shows.
add_library(wizard STATIC ${CMAKE_CURRENT_SOURCE_DIR}/ufrmMain.cpp)
target_link_libraries(wizard PUBLIC setup_controls ui)

set(setup_sources ${CMAKE_CURRENT_SOURCE_DIR}/Setup.cpp)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/res/Setup.rc)
  list(APPEND setup_sources ${CMAKE_CURRENT_SOURCE_DIR}/res/Setup.rc)
endif()
add_executable(Setup WIN32 ${setup_sources})
target_link_libraries(Setup PRIVATE wizard)
