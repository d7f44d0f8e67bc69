# Shared build settings for every target of the project.

add_library(tt_options INTERFACE)
target_include_directories(tt_options INTERFACE ${PROJECT_SOURCE_DIR})
if(MSVC)
  target_compile_options(tt_options INTERFACE /W4)
else()
  target_compile_options(tt_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wimplicit-fallthrough)
  if(TT_WERROR)
    target_compile_options(tt_options INTERFACE -Werror)
  endif()
endif()

if(TT_SANITIZE)
  target_compile_options(tt_options INTERFACE -fsanitize=${TT_SANITIZE} -fno-omit-frame-pointer
    -fno-sanitize-recover=all)
  target_link_options(tt_options INTERFACE -fsanitize=${TT_SANITIZE})
endif()

# tt_library(NAME SOURCES... [DEPS ...]) : a static library of one layer.
function(tt_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC tt_options ${ARG_DEPS})
endfunction()

# tt_tests(NAME SOURCES... [DEPS ...]) : one GoogleTest executable per layer,
# registered with CTest test by test.
function(tt_tests name)
  if(NOT TT_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tt_options ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    # Listing the tests would start Wine at build time; run each program as one test instead.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# tt_fuzzer(NAME SOURCE [DEPS ...]) : a libFuzzer target, built only with clang.
function(tt_fuzzer name source)
  if(NOT TT_BUILD_FUZZERS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  add_executable(${name} ${source})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE tt_options ${ARG_DEPS})
endfunction()
