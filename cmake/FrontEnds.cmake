# Tavrin's places in the X11 screen-saver front-ends, and the man page that names them.
# Every front-end gives its hack a window in XSCREENSAVER_WINDOW, which `tavrin --root` draws into:
# - XScreenSaver runs hacks from its hack folder and reads their settings dialogs from
#   share/xscreensaver/config;
# - xsecurelock runs a saver module named saver_* from its helper folder, one per monitor through
#   its saver_multiplex, with the argument -root;
# - mate-screensaver lists the desktop entries of share/applications/screensavers/ as themes, and
#   runs a theme's command only when it finds the command in its own or XScreenSaver's hack
#   folders: the theme entry runs `tavrin`, which it finds as the XScreenSaver hack.
# Relative folders are taken under the install prefix at install time, so `cmake --install
# --prefix` and the package put everything in one consistent tree.

set(TAVRIN_XSCREENSAVER_HACK_DIR "libexec/xscreensaver" CACHE STRING
    "XScreenSaver's hack folder, under the install prefix unless absolute (some distributions use lib/xscreensaver)")
set(TAVRIN_XSECURELOCK_HELPER_DIR "libexec/xsecurelock" CACHE STRING
    "xsecurelock's helper folder, where it finds saver_* modules; under the install prefix unless absolute")

install(FILES resources/xscreensaver/tavrin.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES resources/mate-screensaver/tavrin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)

find_program(TAVRIN_GZIP gzip)
if(NOT TAVRIN_GZIP)
  message(WARNING "gzip not found: the man page is installed uncompressed")
endif()

# The install-time values: the folders as configured, resolved below against the prefix in force.
install(CODE "
  set(_tavrin_bindir \"${CMAKE_INSTALL_BINDIR}\")
  set(_tavrin_datadir \"${CMAKE_INSTALL_DATADIR}\")
  set(_tavrin_mandir \"${CMAKE_INSTALL_MANDIR}\")
  set(_tavrin_hack_dir \"${TAVRIN_XSCREENSAVER_HACK_DIR}\")
  set(_tavrin_saver_dir \"${TAVRIN_XSECURELOCK_HELPER_DIR}\")
  set(_tavrin_gzip \"${TAVRIN_GZIP}\")
  set(_tavrin_man_source \"${CMAKE_CURRENT_SOURCE_DIR}/resources/tavrin.6.in\")
  set(_tavrin_man_build \"${CMAKE_CURRENT_BINARY_DIR}/man\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
")
install(CODE [[
  foreach(_var _tavrin_bindir _tavrin_datadir _tavrin_mandir _tavrin_hack_dir _tavrin_saver_dir)
    if(NOT IS_ABSOLUTE "${${_var}}")
      set(${_var} "${CMAKE_INSTALL_PREFIX}/${${_var}}")
    endif()
  endforeach()

  # The XScreenSaver hack and the xsecurelock saver are relative links to the program, which finds
  # its pictures next to its real location.
  foreach(_link "${_tavrin_hack_dir}/tavrin" "${_tavrin_saver_dir}/saver_tavrin")
    get_filename_component(_dir "${_link}" DIRECTORY)
    file(RELATIVE_PATH _target "${_dir}" "${_tavrin_bindir}/tavrin")
    file(MAKE_DIRECTORY "$ENV{DESTDIR}${_dir}")
    file(REMOVE "$ENV{DESTDIR}${_link}")
    file(CREATE_LINK "${_target}" "$ENV{DESTDIR}${_link}" SYMBOLIC)
    message(STATUS "Installing: $ENV{DESTDIR}${_link} -> ${_target}")
  endforeach()

  # The man page names the installed paths, compressed as man-db and Debian expect.
  set(TAVRIN_HACK_PATH "${_tavrin_hack_dir}/tavrin")
  set(TAVRIN_SAVER_PATH "${_tavrin_saver_dir}/saver_tavrin")
  set(TAVRIN_XSCREENSAVER_CONFIG_PATH "${_tavrin_datadir}/xscreensaver/config/tavrin.xml")
  set(TAVRIN_THEME_PATH "${_tavrin_datadir}/applications/screensavers/tavrin.desktop")
  set(TAVRIN_DATA_PATH "${_tavrin_datadir}/tavrin")
  file(READ "${_tavrin_man_source}" _text)
  string(CONFIGURE "${_text}" _text @ONLY)
  file(REMOVE_RECURSE "${_tavrin_man_build}")
  file(WRITE "${_tavrin_man_build}/tavrin.6" "${_text}")
  set(_page "${_tavrin_man_build}/tavrin.6")
  if(_tavrin_gzip)
    execute_process(COMMAND "${_tavrin_gzip}" -9n "${_page}" RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "gzip failed on ${_page}")
    endif()
    set(_page "${_page}.gz")
  endif()
  file(INSTALL DESTINATION "${_tavrin_mandir}/man6" TYPE FILE FILES "${_page}")
]])
