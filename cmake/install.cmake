# What `cmake --install` puts where: the program with its two run-time modules beside it (they
# are looked up beside the executable), the desktop entry and the icon, so that file managers
# offer the program for the audio files it opens.
include(GNUInstallDirs)
install(TARGETS wavelathe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS mp3decdll macdll LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/res/wavelathe.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/res/icons/wavelathe.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/res/icons/wavelathe-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME wavelathe.png)
endforeach()
