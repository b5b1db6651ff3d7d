# Installation as a desktop program, and the Debian package (cpack -G DEB).
#
#   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
#   cmake --build build && cmake --install build      # or: cd build && cpack -G DEB
#
# Only the component "kd36setup" is installed and packaged: the tool, its
# display library in a private folder, the desktop entry, icons and metainfo.
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
if(TARGET analyze32)
  # Loaded at run time, never linked: a private folder, not the linker's path.
  install(TARGETS analyze32
    LIBRARY DESTINATION ${KD36_PLUGIN_INSTALL_DIR} COMPONENT ${KD36_COMPONENT})
endif()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/kd36setup.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${KD36_COMPONENT})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${KD36_APPSTREAM_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT ${KD36_COMPONENT})
foreach(pair "16;icon_16.png" "32;icon_32.png" "48;icon_48.png" "64;icon.png")
  list(GET pair 0 size)
  list(GET pair 1 file)
  if(EXISTS ${CMAKE_SOURCE_DIR}/resources/${file})
    install(FILES ${CMAKE_SOURCE_DIR}/resources/${file}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME kd36setup.png COMPONENT ${KD36_COMPONENT})
  endif()
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${KD36_COMPONENT})

# The metainfo names the release; keep it in step with the project version.
file(READ ${CMAKE_CURRENT_LIST_DIR}/${KD36_APPSTREAM_ID}.metainfo.xml _kd36_metainfo)
if(NOT _kd36_metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
  message(WARNING "packaging/${KD36_APPSTREAM_ID}.metainfo.xml has no <release> for ${PROJECT_VERSION}")
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
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
find_program(KD36_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KD36_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)               # Qt, SimpleIni, gensio, udev, libstdc++ from the binaries
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libsimpleini1, libgensio4, libudev1, libstdc++6, libc6")
endif()

# The installed paths must match the prefix the loader was compiled for.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
  message(STATUS "kd36setup: packages install to ${CPACK_PACKAGING_INSTALL_PREFIX}; "
                 "configure with -DCMAKE_INSTALL_PREFIX=/usr for a .deb with Debian's library folder")
endif()

include(CPack)
