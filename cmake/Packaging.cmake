# The Debian package, built by CPack from the Release build:
#   cmake --build build/release --target package      (or: cd build/release && cpack -G DEB)
# gives tavrin_<version>_<arch>.deb. Its library dependencies are computed by dpkg-shlibdeps
# (dpkg-dev); the package installs under /usr whatever the build's own prefix, since the program
# finds its pictures next to itself and the install rules resolve every path at install time.

set(TAVRIN_PACKAGE_MAINTAINER "Tavrin maintainers <maintainers@tavrin.example>" CACHE STRING
    "The Debian package's maintainer, \"Name <address>\"")

# The files Debian wants in every package's documentation folder.
install(FILES resources/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(CODE "
  set(_tavrin_changelog_source \"${CMAKE_CURRENT_SOURCE_DIR}/resources/debian/changelog\")
  set(_tavrin_doc_build \"${CMAKE_CURRENT_BINARY_DIR}/doc\")
  set(_tavrin_docdir \"${CMAKE_INSTALL_DOCDIR}\")
  set(_tavrin_gzip \"${TAVRIN_GZIP}\")
")
install(CODE [[
  if(NOT IS_ABSOLUTE "${_tavrin_docdir}")
    set(_tavrin_docdir "${CMAKE_INSTALL_PREFIX}/${_tavrin_docdir}")
  endif()
  file(REMOVE_RECURSE "${_tavrin_doc_build}")
  file(COPY "${_tavrin_changelog_source}" DESTINATION "${_tavrin_doc_build}")
  set(_changelog "${_tavrin_doc_build}/changelog")
  if(_tavrin_gzip)
    execute_process(COMMAND "${_tavrin_gzip}" -9n "${_changelog}" RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "gzip failed on ${_changelog}")
    endif()
    set(_changelog "${_changelog}.gz")
  endif()
  file(INSTALL DESTINATION "${_tavrin_docdir}" TYPE FILE FILES "${_changelog}")
]])

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TAVRIN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver with a logo and a wheel bouncing in neon over stars")
# The long description, in lines that fit a terminal of 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [[
Two sprites, a wide logo and a spinning wheel, fly over a black starfield on
every display at once, bounce off the edges and off each other, leave fading
trails, glow in neon that flashes on impact, and throw sparks that cross onto
the neighbouring display.

The package holds the program, a hack and its settings dialog for
XScreenSaver, a saver module for xsecurelock (XSECURELOCK_SAVER=saver_tavrin),
a theme for mate-screensaver, and a settings window in the desktop menu. On
Wayland, start it from an idle manager such as swayidle.]])

# The package always installs under /usr, staged through DESTDIR so that every install rule sees
# the prefix the package will have.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# A stripped program still carries the compiler's .comment and the bare .note section; Debian's
# own packaging drops them too (the build id, in .note.gnu.build-id, stays).
install(CODE "
  set(_tavrin_strip \"${CMAKE_STRIP}\")
  set(_tavrin_program \"${CMAKE_INSTALL_BINDIR}/tavrin\")
")
install(CODE [[
  if(NOT IS_ABSOLUTE "${_tavrin_program}")
    set(_tavrin_program "${CMAKE_INSTALL_PREFIX}/${_tavrin_program}")
  endif()
  if(CMAKE_INSTALL_DO_STRIP AND _tavrin_strip)
    execute_process(COMMAND "${_tavrin_strip}" --remove-section=.comment --remove-section=.note
                            "$ENV{DESTDIR}${_tavrin_program}")
  endif()
]])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAVRIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Any one of the front-ends runs it; Qt's Wayland platform lets it run natively on Wayland; Qt's
# own translations give its widgets' menus the user's language too.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xsecurelock | mate-screensaver, qt6-wayland, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# `package_source` packs the checkout, never its build folders or history.
set(CPACK_SOURCE_IGNORE_FILES "/build/" "/build-[^/]*/" "/\\.git/" "/\\.cache/")

include(CPack)
