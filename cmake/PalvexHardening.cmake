# Debian's hardening flags for everything built here, taken from
# dpkg-buildflags (with hardening=+all) so that they follow the distribution:
# stack protector, format checks, _FORTIFY_SOURCE, full RELRO with immediate
# binding, and position-independent executables. The optimisation and debug
# flags it also prints are left to the build type; _FORTIFY_SOURCE only goes
# where the build type optimises, since it needs optimisation to work.
option(PALVEX_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON)
find_program(PALVEX_DPKG_BUILDFLAGS dpkg-buildflags)

function(palvex_hardening_flags kind out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${PALVEX_DPKG_BUILDFLAGS} --get ${kind}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed (${status})")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags EXCLUDE REGEX "^(-g.*|-O.*|-ffile-prefix-map=.*|-Wdate-time)$")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

if(PALVEX_HARDENING AND PALVEX_DPKG_BUILDFLAGS)
  palvex_hardening_flags(CPPFLAGS palvex_cppflags)
  palvex_hardening_flags(CXXFLAGS palvex_cxxflags)
  palvex_hardening_flags(LDFLAGS palvex_ldflags)
  foreach(flag IN LISTS palvex_cppflags palvex_cxxflags)
    if(flag MATCHES "^-D_FORTIFY_SOURCE")
      add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
    else()
      add_compile_options(${flag})
    endif()
  endforeach()
  add_link_options(${palvex_ldflags})
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  message(STATUS "Hardening flags: ${palvex_cppflags} ${palvex_cxxflags} ${palvex_ldflags}")
elseif(PALVEX_HARDENING)
  message(STATUS "dpkg-buildflags not found: built without Debian's hardening flags")
endif()
