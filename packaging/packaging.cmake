# Installing the program (cmake --install) and the Debian package (cpack -G DEB):
#   <prefix>/lib/kalimdar/kalimdar        the program
#   <prefix>/lib/kalimdar/lx_items.db     the sample dictionary, made at install
#                                         time by make_dictionary, beside the
#                                         program where it looks for it
#   <prefix>/bin/kalimdar                 a relative link to the program (the
#                                         program finds its folder through the
#                                         link's target)
#   <prefix>/share/applications, icons/hicolor, metainfo: the menu entry,
#                                         the icon and the AppStream data
include(GNUInstallDirs)

set(KALIMDAR_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/kalimdar)
install(TARGETS kalimdar RUNTIME DESTINATION ${KALIMDAR_INSTALL_DIR})
install(CODE "
  set(dest \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  message(STATUS \"Making the sample dictionary: \${dest}/${KALIMDAR_INSTALL_DIR}/lx_items.db\")
  execute_process(COMMAND \"$<TARGET_FILE:make_dictionary>\" --force
                          --out \"\${dest}/${KALIMDAR_INSTALL_DIR}/lx_items.db\"
                  RESULT_VARIABLE made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR \"make_dictionary failed (is hunspell-kk installed?)\")
  endif()
  file(MAKE_DIRECTORY \"\${dest}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK ../${KALIMDAR_INSTALL_DIR}/kalimdar \"\${dest}/${CMAKE_INSTALL_BINDIR}/kalimdar\" SYMBOLIC)
")
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${packaging}/kz.kalimdar.Kalimdar.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/kz.kalimdar.Kalimdar.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/kalimdar.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 64 128 256)
  install(FILES ${packaging}/icons/kalimdar-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kalimdar.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalimdar)
set(CPACK_PACKAGE_VERSION 0.1.0)
set(CPACK_PACKAGE_VENDOR Kalimdar)
set(CPACK_PACKAGE_CONTACT "Kalimdar developers <kalimdar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Offline viewer for the Kazakh orthographic dictionary")
set(CPACK_PACKAGE_DESCRIPTION
    "Type a word or part of one and press Іздеу: Kalimdar lists up to 1000 matching\nentries of the Kazakh orthographic dictionary and shows the text of the selected\none. It comes with a sample dictionary made from the Kazakh hunspell word list.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
# The package depends on the Debian packages of the libraries the program links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's GTK platform theme brings GNOME's palette, dark or light, to the window.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-gtk-platformtheme)
include(CPack)
