# The wizard form as a library, so the tests drive the same form the program shows.
# The component list's public key, as bytes in a generated header.
korvant_manifest_key_header(${CMAKE_CURRENT_BINARY_DIR}/generated/manifest_key.h)
# Setup's version for the support log: the one version its resource states.
set(KORVANT_SETUP_VERSION ${KORVANT_VERSION})
function(korvant_wizard_library name url)
  add_library(${name} STATIC ${CMAKE_CURRENT_SOURCE_DIR}/ufrmMain.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ufrmMainSteps.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/uStepView.cpp ${CMAKE_CURRENT_SOURCE_DIR}/uDownloadSource.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ufrmProxyLogon.cpp)
  target_link_libraries(${name} PUBLIC setup_install setup_unattended setup_controls setup_config ui http zip trust translation)
  target_compile_definitions(${name} PRIVATE KORVANT_DOWNLOAD_URL="${url}" KORVANT_SETUP_VERSION="${KORVANT_SETUP_VERSION}")
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
endfunction()
korvant_wizard_library(wizard "${KORVANT_DOWNLOAD_URL}")

set(setup_sources ${CMAKE_CURRENT_SOURCE_DIR}/Setup.cpp)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/res/Setup.rc)
  list(APPEND setup_sources ${CMAKE_CURRENT_SOURCE_DIR}/res/Setup.rc)
endif()
add_executable(Setup WIN32 ${setup_sources})
target_link_libraries(Setup PRIVATE wizard)
target_include_directories(Setup PRIVATE ${CMAKE_BINARY_DIR}/generated/version)
# Stripped before the catalog is appended (a strip would drop it), signed after.
korvant_release_binary(Setup "KORVANT Setup" OWN_RESOURCE NO_SIGN)
korvant_embed_catalogs(Setup)
korvant_sign(Setup)

# The same wizard downloading over TLS from the test servers (tests/peers),
# for the tests and scripts/demo --https.
korvant_wizard_library(wizard_https "${KORVANT_DOWNLOAD_URL_HTTPS}")
add_executable(SetupHttps WIN32 ${setup_sources})
target_link_libraries(SetupHttps PRIVATE wizard_https)
target_include_directories(SetupHttps PRIVATE ${CMAKE_BINARY_DIR}/generated/version)
# Stripped before the catalog is appended (a strip would drop it), signed after.
korvant_release_binary(SetupHttps "KORVANT Setup" OWN_RESOURCE NO_SIGN)
korvant_embed_catalogs(SetupHttps)
korvant_sign(SetupHttps)
