# Install rules and the Debian package: the programs, the menu entry with its icons, the manual.
include(GNUInstallDirs)

if(TARGET vask)
  install(TARGETS vask RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/vask.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/vask.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(_size 16 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/vask-${_size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
            RENAME vask.png)
  endforeach()
endif()
if(TARGET vaskdb)
  install(TARGETS vaskdb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/vaskdb.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vask)
set(CPACK_PACKAGE_VENDOR "Vask")
set(CPACK_PACKAGE_CONTACT "Vask <vask@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Manutenzione del database Access (.mdb) del gestionale")
set(CPACK_PACKAGE_DESCRIPTION
    "Apre il database Jet 4 del gestionale, ne mostra e corregge le tabelle su una copia di \
lavoro, stampa le righe e prepara il nuovo anno fiscale. Con vaskdb, lo strumento da riga di \
comando per leggere, esportare, importare e verificare i file .mdb.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
# The Qt libraries the programs link (found by dpkg-shlibdeps where it is installed), the
# platform plugins a window needs, and the fonts with the metrics of the Windows ones the layout
# was designed with.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, mdbtools")
find_program(VASK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VASK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), \
libqt6printsupport6 (>= 6.4), qt6-qpa-plugins, fonts-liberation")
endif()
include(CPack)
