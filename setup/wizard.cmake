# The wizard form as a library, so the tests drive the same form the program shows.
add_library(wizard STATIC ${CMAKE_CURRENT_SOURCE_DIR}/ufrmMain.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ufrmMainSteps.cpp)
target_link_libraries(wizard PUBLIC setup_controls setup_config ui http zip trust translation)
target_compile_definitions(wizard PRIVATE KORVANT_DOWNLOAD_URL="${KORVANT_DOWNLOAD_URL}")
# The component list's public key, as bytes in a generated header.
korvant_manifest_key_header(${CMAKE_CURRENT_BINARY_DIR}/generated/manifest_key.h)
target_include_directories(wizard PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)

set(setup_sources ${CMAKE_CURRENT_SOURCE_DIR}/Setup.cpp)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/res/Setup.rc)
  list(APPEND setup_sources ${CMAKE_CURRENT_SOURCE_DIR}/res/Setup.rc)
endif()
add_executable(Setup WIN32 ${setup_sources})
target_link_libraries(Setup PRIVATE wizard)
korvant_embed_catalogs(Setup)
