# Installation as a desktop program, and the Debian package (cpack -G DEB).
#
#   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
#   cmake --build build && cmake --install build      # or: cd build && cpack -G DEB
#
# Only the component "kd36setup" is installed and packaged: the tool (and
# kd36ctl when it is built), its display library in a private folder, the
# desktop entry, icons, metainfo, manual pages, copyright and changelog.
# Test doubles and tests have no install rules.

include(GNUInstallDirs)

set(KD36_COMPONENT kd36setup)
set(KD36_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/kd36setup)
set(KD36_APPSTREAM_ID jp.example.kd36setup)

# Where the tool looks for libanalyze32.so once installed: relative to its
# own folder (so a relocated or packaged tree still works) and, as a last
# resort, the absolute folder under the configured prefix.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
  set(_kd36_bin "${CMAKE_INSTALL_BINDIR}")
else()
  set(_kd36_bin "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}")
endif()
file(RELATIVE_PATH _kd36_plugin_rel "${_kd36_bin}" "${CMAKE_INSTALL_FULL_LIBDIR}/kd36setup")
if(TARGET kd36_app)
  # Only the loader needs them; a change of prefix rebuilds one file.
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/app/display_library_qt.cpp
    DIRECTORY ${CMAKE_SOURCE_DIR}/app
    APPEND PROPERTY COMPILE_DEFINITIONS
      "KD36_PLUGIN_DIR=\"${CMAKE_INSTALL_FULL_LIBDIR}/kd36setup\""
      "KD36_PLUGIN_DIR_FROM_BIN=\"${_kd36_plugin_rel}\"")
endif()

if(TARGET kd36setup)
  install(TARGETS kd36setup
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${KD36_COMPONENT})
endif()
if(TARGET kd36ctl)
  install(TARGETS kd36ctl
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${KD36_COMPONENT})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/completion/kd36ctl.bash RENAME kd36ctl
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT ${KD36_COMPONENT})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/completion/_kd36ctl
    DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT ${KD36_COMPONENT})
endif()
if(TARGET analyze32)
  # Loaded at run time, never linked: a private folder, not the linker's path.
  install(TARGETS analyze32
    LIBRARY DESTINATION ${KD36_PLUGIN_INSTALL_DIR} COMPONENT ${KD36_COMPONENT})
endif()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/kd36setup.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${KD36_COMPONENT})
# The metainfo names kd36ctl only when it is built.
file(READ ${CMAKE_CURRENT_LIST_DIR}/${KD36_APPSTREAM_ID}.metainfo.xml _kd36_metainfo)
if(TARGET kd36ctl)
  string(REPLACE "<binary>kd36setup</binary>"
    "<binary>kd36setup</binary>\n    <binary>kd36ctl</binary>" _kd36_metainfo "${_kd36_metainfo}")
endif()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/packaging/${KD36_APPSTREAM_ID}.metainfo.xml
  CONTENT "${_kd36_metainfo}" @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${KD36_APPSTREAM_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT ${KD36_COMPONENT})

# Icons: the bitmaps drawn for each size, and the drawing they come from.
foreach(pair "16;icon_16.png" "32;icon_32.png" "48;icon_48.png" "64;icon.png"
             "128;icon_128.png" "256;icon_256.png")
  list(GET pair 0 size)
  list(GET pair 1 file)
  if(EXISTS ${CMAKE_SOURCE_DIR}/resources/${file})
    install(FILES ${CMAKE_SOURCE_DIR}/resources/${file}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME kd36setup.png COMPONENT ${KD36_COMPONENT})
  endif()
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/kd36setup.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT ${KD36_COMPONENT})

# Manual pages and the changelog go out compressed as Debian expects
# (gzip -9n: no name, no time stamp, so the package is reproducible).
set(KD36_MANPAGES kd36setup.1)
if(TARGET kd36ctl)
  list(APPEND KD36_MANPAGES kd36ctl.1)
endif()
set(_kd36_gz_sources changelog)
foreach(page ${KD36_MANPAGES})
  list(APPEND _kd36_gz_sources man/${page})
endforeach()
set(_kd36_gz_outputs "")
foreach(src ${_kd36_gz_sources})
  get_filename_component(name ${src} NAME)
  set(out ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/${src} > ${out}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${src}
    VERBATIM)
  list(APPEND _kd36_gz_outputs ${out})
endforeach()
add_custom_target(kd36_docs ALL DEPENDS ${_kd36_gz_outputs})
# Built with the tool, so that an install after building only the tool works.
if(TARGET kd36setup)
  add_dependencies(kd36setup kd36_docs)
endif()
foreach(page ${KD36_MANPAGES})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${page}.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${KD36_COMPONENT})
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${KD36_COMPONENT})
install(FILES ${CMAKE_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${KD36_COMPONENT})

# The metainfo and the changelog name the release; keep them in step with
# the project version.
if(NOT _kd36_metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
  message(WARNING "packaging/${KD36_APPSTREAM_ID}.metainfo.xml has no <release> for ${PROJECT_VERSION}")
endif()
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog _kd36_changelog_top LIMIT_COUNT 1)
if(NOT _kd36_changelog_top MATCHES "^kd36setup \\(${PROJECT_VERSION}\\) ")
  message(WARNING "packaging/changelog does not start with the entry for ${PROJECT_VERSION}")
endif()

# --- Debian package ------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kd36setup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "NORVANE Corporation")
set(CPACK_PACKAGE_CONTACT "KD-36 tool maintainers <kd36setup@example.jp>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "setup and test tool for the KD-36 wireless data modem")
set(CPACK_PACKAGE_DESCRIPTION [=[
Reads and writes the settings of a KD-36 short-range wireless data modem
on a serial (RS-232C) port, shows the air monitor's spectrum, checks
remote stations by answer-back, sends routed packets and works as a line
terminal. A built-in simulated modem allows trying it without hardware.]=])
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.jp/kd36/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};${KD36_COMPONENT};/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)               # kd36setup_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# Every caption is Japanese: without such a font the window draws empty boxes.
set(KD36_FONT_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
find_program(KD36_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(KD36_FILE file)                          # CPack sorts the files with it
if(KD36_DPKG_SHLIBDEPS AND KD36_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)               # Qt, SimpleIni, gensio, udev, libstdc++ from the binaries
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${KD36_FONT_DEPENDS}") # the libraries are added to it
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "${KD36_FONT_DEPENDS}, libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libsimpleini1, libgensio4, libudev1, libstdc++6, libgcc-s1, libc6")
endif()

# The installed paths must match the prefix the loader was compiled for.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
  message(STATUS "kd36setup: packages install to ${CPACK_PACKAGING_INSTALL_PREFIX}; "
                 "configure with -DCMAKE_INSTALL_PREFIX=/usr for a .deb with Debian's library folder")
endif()

include(CPack)
