# One test executable per layer (or per topic), registered with ctest.
#   palvex_gtest(NAME SOURCES ... LINKS ...)  GoogleTest, discovered case by case
#   palvex_qtest(NAME SOURCES ... LINKS ...)  Qt Test, run offscreen
include(GoogleTest)

# The test executable both kinds build: sources, links, warnings; leaves
# ARG_TIMEOUT (120 seconds unless given) to the caller.
macro(palvex_test_executable name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LINKS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  palvex_warnings(${name})
endmacro()

function(palvex_gtest name)
  palvex_test_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock palvex_gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

function(palvex_qtest name)
  palvex_test_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
