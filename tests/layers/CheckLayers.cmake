# cmake -DBUILD_DIR=... -DCORE_TARGETS=a;b -DLINKED_TARGETS=c -DCONTROL_TARGET=d -P CheckLayers.cmake
#
# Reads the codemodel of the CMake file API of the build in BUILD_DIR and fails when a
# target of CORE_TARGETS compiles with a Qt Widgets or Qt Gui definition or
# include path, or when a target of LINKED_TARGETS has Qt Widgets, Gui or
# OpenGL on its link line. CONTROL_TARGET is a widgets target: unless the
# same reading finds QT_WIDGETS_LIB there, the check is not seeing the
# flags at all and fails too.

cmake_minimum_required(VERSION 3.25)

set(gui_defines QT_WIDGETS_LIB QT_GUI_LIB QT_OPENGL_LIB)
set(gui_include_regex "/Qt(Widgets|Gui|OpenGL)(/|$)")
set(gui_library_regex "Qt6?(Widgets|Gui|OpenGL)")

set(REPLY_DIR "${BUILD_DIR}/.cmake/api/v1/reply")
file(GLOB indexes "${REPLY_DIR}/index-*.json")
if(NOT indexes)
  # CMake reads its queries before it configures, so the query the build
  # writes is answered from the second configure on; the first test run of a
  # fresh build asks for that second generation itself.
  execute_process(COMMAND "${CMAKE_COMMAND}" "${BUILD_DIR}" RESULT_VARIABLE regenerated OUTPUT_QUIET)
  file(GLOB indexes "${REPLY_DIR}/index-*.json")
endif()
if(NOT indexes)
  message(FATAL_ERROR "no CMake file API reply in ${REPLY_DIR} (regenerating the build gave ${regenerated})")
endif()
list(SORT indexes)
list(POP_BACK indexes index)
file(READ "${index}" index_json)
string(JSON codemodel_file GET "${index_json}" reply client-palvex query.json responses 0 jsonFile)
file(READ "${REPLY_DIR}/${codemodel_file}" codemodel)

# target name -> its reply file
string(JSON target_count LENGTH "${codemodel}" configurations 0 targets)
math(EXPR last "${target_count} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${codemodel}" configurations 0 targets ${i} name)
  string(JSON file GET "${codemodel}" configurations 0 targets ${i} jsonFile)
  set(target_file_${name} "${REPLY_DIR}/${file}")
endforeach()

# Sets out to the widgets definitions and include paths target compiles with.
function(gui_compile_flags target out)
  if(NOT DEFINED target_file_${target})
    message(FATAL_ERROR "target ${target} is not in the build")
  endif()
  file(READ "${target_file_${target}}" json)
  string(JSON groups ERROR_VARIABLE no_groups LENGTH "${json}" compileGroups)
  if(no_groups OR groups EQUAL 0)
    message(FATAL_ERROR "target ${target} has no compiled sources in the reply")
  endif()
  set(found "")
  math(EXPR last_group "${groups} - 1")
  foreach(g RANGE ${last_group})
    string(JSON defines ERROR_VARIABLE none LENGTH "${json}" compileGroups ${g} defines)
    if(NOT none AND defines GREATER 0)
      math(EXPR last_define "${defines} - 1")
      foreach(d RANGE ${last_define})
        string(JSON define GET "${json}" compileGroups ${g} defines ${d} define)
        string(REGEX REPLACE "=.*" "" define_name "${define}")
        if(define_name IN_LIST gui_defines)
          list(APPEND found "definition ${define}")
        endif()
      endforeach()
    endif()
    string(JSON includes ERROR_VARIABLE none LENGTH "${json}" compileGroups ${g} includes)
    if(NOT none AND includes GREATER 0)
      math(EXPR last_include "${includes} - 1")
      foreach(n RANGE ${last_include})
        string(JSON path GET "${json}" compileGroups ${g} includes ${n} path)
        if(path MATCHES "${gui_include_regex}")
          list(APPEND found "include path ${path}")
        endif()
      endforeach()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES found)
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(failures "")

gui_compile_flags(${CONTROL_TARGET} control)
if(NOT control MATCHES "QT_WIDGETS_LIB")
  list(APPEND failures "${CONTROL_TARGET} shows no QT_WIDGETS_LIB: the reply does not hold the compile flags this check reads")
endif()

foreach(target IN LISTS CORE_TARGETS)
  gui_compile_flags(${target} found)
  foreach(item IN LISTS found)
    list(APPEND failures "${target} compiles with ${item}")
  endforeach()
endforeach()

foreach(target IN LISTS LINKED_TARGETS)
  file(READ "${target_file_${target}}" json)
  string(JSON fragments ERROR_VARIABLE none LENGTH "${json}" link commandFragments)
  if(none OR fragments EQUAL 0)
    list(APPEND failures "${target} has no link line in the reply")
    continue()
  endif()
  math(EXPR last_fragment "${fragments} - 1")
  foreach(f RANGE ${last_fragment})
    string(JSON fragment GET "${json}" link commandFragments ${f} fragment)
    if(fragment MATCHES "${gui_library_regex}")
      list(APPEND failures "${target} links ${fragment}")
    endif()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Qt Widgets or Gui reached the headless side:\n  ${text}")
endif()
list(JOIN CORE_TARGETS ", " checked)
message(STATUS "compiled without Qt Widgets and Gui: ${checked}; linked without them: ${LINKED_TARGETS}")
