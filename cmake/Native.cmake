# The native build of the portable core (Debian, gcc or clang): the parsers of
# outside data, their unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and, with clang, the libFuzzer targets.
# The Windows build stays the product; this one exists to run hostile bytes
# through the same code at full speed.
set(KORVANT_NATIVE ON)

option(KORVANT_SANITIZE "Build the native core with ASan and UBSan" ON)
set(KORVANT_FUZZ OFF)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(KORVANT_FUZZ ON)
endif()

add_compile_options(-g -fno-omit-frame-pointer)
if(KORVANT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KORVANT_FUZZ)
  # Coverage for the fuzzers in every library; only the fuzz targets link
  # libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

find_package(Threads REQUIRED)

# The native test programs run directly, not through Wine.
set(KORVANT_TESTS ON)
enable_testing()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# korvant_native_test(NAME name SOURCES ... LIBS ... [LABELS ...] [ENV ...] [TIMEOUT s])
function(korvant_native_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    LABELS "native;${T_LABELS}"
    ENVIRONMENT "KORVANT_SOURCE_DIR=${CMAKE_SOURCE_DIR};KORVANT_BINARY_DIR=${CMAKE_BINARY_DIR};ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1;${T_ENV}")
endfunction()

# korvant_fuzz(NAME fuzz_x SOURCES ... LIBS ... CORPUS dir)
# A libFuzzer target; scripts/fuzz finds it through the list written below.
# Without clang it is built as a plain program that replays its corpus, so
# gcc still compiles every target.
set_property(GLOBAL PROPERTY KORVANT_FUZZ_TARGETS "")
function(korvant_fuzz)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} Threads::Threads)
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(KORVANT_FUZZ)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${F_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/uFuzzReplayMain.cpp)
  endif()
  cmake_path(ABSOLUTE_PATH F_CORPUS BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set_property(GLOBAL APPEND PROPERTY KORVANT_FUZZ_TARGETS "${F_NAME}=${F_CORPUS}")
  # Every seed, and every earlier finding kept beside it, replays as a test.
  # libFuzzer would fuzz a folder it is given, and add to it: -runs=0 only replays.
  if(KORVANT_FUZZ)
    add_test(NAME ${F_NAME}_corpus COMMAND ${F_NAME} -runs=0 ${F_CORPUS})
  else()
    add_test(NAME ${F_NAME}_corpus COMMAND ${F_NAME} ${F_CORPUS})
  endif()
  set_tests_properties(${F_NAME}_corpus PROPERTIES LABELS "native;fuzz" TIMEOUT 300)
endfunction()

# scripts/fuzz reads the targets and their corpora from here.
function(korvant_write_fuzz_list)
  get_property(targets GLOBAL PROPERTY KORVANT_FUZZ_TARGETS)
  list(JOIN targets "\n" text)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz-targets.txt "${text}\n")
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL korvant_write_fuzz_list)
