# The public key that checks the download server's component list, compiled
# into Setup.exe. Empty: no list is fetched and nothing is checked.
set(KORVANT_MANIFEST_KEY ${CMAKE_SOURCE_DIR}/demo/keys/manifest-demo.pub.pem CACHE STRING
    "PEM public key (ECDSA P-256) of the component list; empty for none")

# The serial of the demo content's component list; raised when the demo's
# components change in a way an older list must not undo.
set(KORVANT_DEMO_MANIFEST_SERIAL 3)
# The oldest component list the wizard accepts: lists below it, or without a
# serial while it is above 0, are refused as not genuine.
set(KORVANT_MANIFEST_MIN_SERIAL ${KORVANT_DEMO_MANIFEST_SERIAL} CACHE STRING
    "Lowest component-list serial the wizard accepts (decimal, at most 18 digits)")
string(LENGTH "${KORVANT_MANIFEST_MIN_SERIAL}" serial_digits)
if(NOT KORVANT_MANIFEST_MIN_SERIAL MATCHES "^(0|[1-9][0-9]*)$" OR serial_digits GREATER 18)
  message(FATAL_ERROR "KORVANT_MANIFEST_MIN_SERIAL must be a decimal number of at most 18 digits")
endif()

# korvant_manifest_key_header(<output header>)
function(korvant_manifest_key_header header)
  set(point "")
  if(KORVANT_MANIFEST_KEY)
    find_program(KORVANT_OPENSSL openssl REQUIRED)
    set(der ${CMAKE_BINARY_DIR}/manifest-key.der)
    execute_process(COMMAND ${KORVANT_OPENSSL} pkey -pubin -in ${KORVANT_MANIFEST_KEY} -outform DER -out ${der}
                    RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "KORVANT_MANIFEST_KEY ${KORVANT_MANIFEST_KEY} is no PEM public key: ${err}")
    endif()
    file(READ ${der} hex HEX)
    # An ECDSA P-256 key's SubjectPublicKeyInfo: this fixed prefix, then the
    # 65-byte uncompressed point.
    set(prefix "3059301306072a8648ce3d020106082a8648ce3d030107034200")
    string(LENGTH "${hex}" length)
    string(FIND "${hex}" "${prefix}" at)
    if(NOT at EQUAL 0 OR NOT length EQUAL 182)
      message(FATAL_ERROR "KORVANT_MANIFEST_KEY ${KORVANT_MANIFEST_KEY} is not an ECDSA P-256 public key")
    endif()
    string(SUBSTRING "${hex}" 52 130 pointHex)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " point "${pointHex}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KORVANT_MANIFEST_KEY})
  file(CONFIGURE OUTPUT ${header} CONTENT
"// Generated from KORVANT_MANIFEST_KEY; do not edit.
#pragma once
#include <cstdint>
#include <span>

// The uncompressed P-256 point of the component list's signing key; empty
// when the build carries no key.
inline constexpr std::uint8_t ManifestKeyBytes[] = {${point} 0};
inline constexpr std::span<const std::uint8_t> ManifestPublicKey(ManifestKeyBytes, sizeof ManifestKeyBytes - 1);
// The lowest component-list serial accepted (KORVANT_MANIFEST_MIN_SERIAL).
inline constexpr std::uint64_t ManifestMinimumSerial = ${KORVANT_MANIFEST_MIN_SERIAL}u;
")
endfunction()
