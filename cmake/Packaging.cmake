# The packages: a .deb of the Linux program (`cpack -G DEB` in its build folder) and a zip of the
# Windows program (`cpack -G ZIP` in the Windows build folder). Whatever any folder installs goes
# in, so a new program only needs its own install(TARGETS) rule; every man/*.1 page is installed.
set(CPACK_PACKAGE_NAME taktomat)
set(CPACK_PACKAGE_VENDOR "The Taktomat 2000 developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pulse meter for dial-up connections")
set(CPACK_PACKAGE_CONTACT "The Taktomat 2000 developers <taktomat@example.org>")
# Whatever the build type, the packaged programs carry no debug information.
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME taktomat-${PROJECT_VERSION}-win32)
  # Notepad before Windows 10 shows a file with bare line feeds as one long line.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/packaging/README-windows.txt)
  file(READ ${PROJECT_SOURCE_DIR}/packaging/README-windows.txt readme)
  string(REPLACE "\r\n" "\n" readme "${readme}")
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${CMAKE_BINARY_DIR}/packaging/README.txt "${readme}")
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
else()
  include(GNUInstallDirs)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The program dials through pppd; it meters a link that something else dialled without it.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ppp)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Taktomat 2000 is a small always-on-top meter for Internet connections billed"
    "by telephone pulses. It lives in the notification area, counts the pulses of"
    "the running connection by time-of-day tariff zone, shows the use against"
    "limits per connection, day and month, hangs the line up at the end of a pulse"
    "on request, dials phone-book entries with repeated attempts and keeps a log"
    "of finished connections with day and month totals.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

  set(doc ${CMAKE_INSTALL_DATADIR}/doc/taktomat)
  set(gz ${CMAKE_BINARY_DIR}/packaging)
  file(GLOB pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.1)
  set(compressed)
  # Debian wants manual pages and the changelog compressed, without a time stamp inside.
  foreach(source ${pages} ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian)
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${gz}/${name}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${gz}
      COMMAND gzip -9nc ${source} > ${gz}/${name}.gz
      DEPENDS ${source}
      COMMENT "Compressing ${name}"
      VERBATIM)
    list(APPEND compressed ${gz}/${name}.gz)
    if(name MATCHES "\\.1$")
      install(FILES ${gz}/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
  add_custom_target(packaging_files ALL DEPENDS ${compressed})
  # Debian's copyright file, in its machine-readable format, made from LICENSE so that the
  # licence is written down once. Debian calls the MIT licence "Expat".
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${licence}")
  set(holder "${CMAKE_MATCH_1}")
  string(FIND "${licence}" "Permission is hereby" terms_start)
  string(SUBSTRING "${licence}" ${terms_start} -1 terms)
  string(STRIP "${terms}" terms)
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " terms "${terms}")
  file(WRITE ${gz}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: Taktomat 2000\n\n"
    "Files: *\nCopyright: ${holder}\nLicense: Expat\n\n"
    "License: Expat\n ${terms}\n")
  install(FILES ${gz}/changelog.Debian.gz ${gz}/copyright DESTINATION ${doc})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.github.taktomat.Taktomat.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The icons in the hicolor sizes, drawn by the skin tool with their transparency.
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/controls/skin/icons/taktomat-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME taktomat.png)
  endforeach()
endif()

include(CPack)
