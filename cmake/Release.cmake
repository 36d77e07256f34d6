# What every Windows binary of the build carries and how it leaves the build:
# one version, the maker's name in a version resource, an Authenticode
# signature when a certificate is configured, and the same bytes from every
# build of one commit.

set(KORVANT_VERSION 7.0.0.0)
set(KORVANT_PRODUCT "KORVANT Setup")
set(KORVANT_COMPANY "Tolvek BVBA")
string(REPLACE "." ", " KORVANT_VERSION_COMMAS "${KORVANT_VERSION}")

# Code signing with osslsigncode (SHA-256). Without a certificate and key
# nothing is signed and nothing fails.
set(KORVANT_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate chain (PEM or DER); empty: no signing")
set(KORVANT_SIGN_KEY "" CACHE FILEPATH "Private key of the code-signing certificate (PEM or DER)")
set(KORVANT_SIGN_KEY_PASSWORD_FILE "" CACHE FILEPATH "File holding the key's password; empty for a key without one")
set(KORVANT_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server; empty: no time stamp")
set(KORVANT_SIGN_URL "" CACHE STRING "The maker's web address in the signature; empty for none")

# The time every generated file is dated with: SOURCE_DATE_EPOCH as given,
# else the commit's time, so two builds of one commit agree.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(KORVANT_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE KORVANT_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT KORVANT_SOURCE_DATE_EPOCH)
    set(KORVANT_SOURCE_DATE_EPOCH 0)
  endif()
endif()

# Reproducible: no build folder in the binaries (file names in messages and
# debug information), no link time stamp in the PE header. The signing time
# is the commit's time (SOURCE_DATE_EPOCH) when the caller gives it.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
add_link_options(-Wl,--no-insert-timestamp)

# A release build strips the binaries and keeps their symbols beside them in
# NAME.debug (named in the binary by a debug link) for crash reports.
option(KORVANT_STRIP "Strip the binaries, keeping their symbols in separate .debug files" OFF)

# korvant_release_binary(<target> <description> [OWN_RESOURCE] [NO_SIGN]):
# version resource (unless the target brings its own, as Setup does), the
# stripping of a release build and, when configured, the signature (NO_SIGN:
# the caller signs later, after post-build steps of its own).
function(korvant_release_binary target description)
  cmake_parse_arguments(arg "OWN_RESOURCE;NO_SIGN" "" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "SHARED_LIBRARY")
    set(KORVANT_RC_FILETYPE VFT_DLL)
    set(KORVANT_RC_FILENAME ${name}.dll)
  else()
    set(KORVANT_RC_FILETYPE VFT_APP)
    set(KORVANT_RC_FILENAME ${name}.exe)
  endif()
  set(KORVANT_RC_NAME ${name})
  set(KORVANT_RC_DESCRIPTION "${description}")
  if(NOT arg_OWN_RESOURCE)
    set(rc ${CMAKE_BINARY_DIR}/generated/version/${target}.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
  endif()
  if(KORVANT_STRIP)
    set(objcopy ${CMAKE_OBJCOPY})
    if(NOT objcopy)
      set(objcopy x86_64-w64-mingw32-objcopy)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${objcopy} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
      COMMAND ${objcopy} --strip-all $<TARGET_FILE:${target}>
      COMMAND ${CMAKE_COMMAND} -E chdir $<TARGET_FILE_DIR:${target}>
              ${objcopy} --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug $<TARGET_FILE_NAME:${target}>
      COMMENT "Stripping ${target}, symbols in $<TARGET_FILE_NAME:${target}>.debug"
      VERBATIM)
  endif()
  if(NOT arg_NO_SIGN)
    korvant_sign(${target})
  endif()
endfunction()

# The version as a header, for a resource script of its own (Setup.rc).
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/version/korvant_version.h CONTENT
"// Generated from cmake/Release.cmake; do not edit.
#pragma once
#define KORVANT_VERSION ${KORVANT_VERSION_COMMAS}
#define KORVANT_VERSION_TEXT \"${KORVANT_VERSION}\"
#define KORVANT_PRODUCT \"${KORVANT_PRODUCT}\"
#define KORVANT_COMPANY \"${KORVANT_COMPANY}\"
")

function(korvant_sign target)
  if(NOT KORVANT_SIGN_CERT OR NOT KORVANT_SIGN_KEY)
    return()
  endif()
  find_program(KORVANT_OSSLSIGNCODE osslsigncode REQUIRED)
  set(options -certs ${KORVANT_SIGN_CERT} -key ${KORVANT_SIGN_KEY} -h sha256 -n ${KORVANT_PRODUCT})
  if(KORVANT_SIGN_KEY_PASSWORD_FILE)
    list(APPEND options -readpass ${KORVANT_SIGN_KEY_PASSWORD_FILE})
  endif()
  if(KORVANT_SIGN_URL)
    list(APPEND options -i ${KORVANT_SIGN_URL})
  endif()
  if(KORVANT_SIGN_TIMESTAMP_URL)
    list(APPEND options -ts ${KORVANT_SIGN_TIMESTAMP_URL})
  endif()
  # Signed last, after every other post-build step has changed the file.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${KORVANT_OSSLSIGNCODE} "-DOPTIONS=${options}"
            -DFILE=$<TARGET_FILE:${target}> -DEPOCH=${KORVANT_SOURCE_DATE_EPOCH} -P ${CMAKE_SOURCE_DIR}/cmake/Sign.cmake
    COMMENT "Signing ${target}"
    VERBATIM)
endfunction()
