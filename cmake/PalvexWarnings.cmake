# Warnings for our own targets only; never global flags.
function(palvex_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  endif()
endfunction()

# A library of one layer:
#   palvex_layer(NAME SOURCES ... [PUBLIC_LINKS ...] [PRIVATE_LINKS ...])
# PUBLIC_LINKS are the layer's interface: its headers include theirs, so
# whoever links the layer gets their include paths and compile definitions
# too. PRIVATE_LINKS are used by its sources only; a static library still
# passes them on to the final link, but not their headers or definitions
# (a widgets library linked privately does not put QT_WIDGETS_LIB on its
# users).
function(palvex_layer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LINKS;PRIVATE_LINKS" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "palvex_layer(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  palvex_warnings(${name})
endfunction()
