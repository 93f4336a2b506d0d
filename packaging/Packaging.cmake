# What an installed copy needs beyond the two programs: its data files, the
# desktop entry, the icon in the desktop's icon theme, AppStream metadata and
# man pages; and the Debian package made from that installation.
#
# The programs find their data in ../share/quorvis relative to themselves, so
# the tree works from any prefix, and from a package unpacked anywhere.
include(GNUInstallDirs)

# The desktop entry, the icon and the metadata share one name, which Wayland
# compositors match against the running program (setDesktopFileName).
set(QUORVIS_APP_ID org.example.quorvis)
set(pkg_dir ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS quorvis RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quorvis-cli)
  install(TARGETS quorvis-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/resources/tips.txt ${CMAKE_SOURCE_DIR}/resources/quorvis-help.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvis)
install(FILES ${pkg_dir}/${QUORVIS_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${pkg_dir}/${QUORVIS_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/${QUORVIS_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${QUORVIS_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon files are drawn by the code that draws the launcher's icon, so the
# menu and the window show one picture and the tree holds no binary image.
set(icon_sizes 16 22 24 32 48 64 128 256)
set(icon_dir ${CMAKE_BINARY_DIR}/icons)
set(icon_files ${icon_dir}/scalable/${QUORVIS_APP_ID}.svg)
foreach(size IN LISTS icon_sizes)
  list(APPEND icon_files ${icon_dir}/${size}x${size}/${QUORVIS_APP_ID}.png)
endforeach()
add_executable(quorvis-icons ${pkg_dir}/make_icons.cpp)
target_link_libraries(quorvis-icons PRIVATE quorvis_gui)
add_custom_command(OUTPUT ${icon_files}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:quorvis-icons> ${icon_dir} ${QUORVIS_APP_ID} ${icon_sizes}
  DEPENDS quorvis-icons
  COMMENT "Drawing the icon files"
  VERBATIM)
add_custom_target(quorvis_icon_files ALL DEPENDS ${icon_files})
install(FILES ${icon_dir}/scalable/${QUORVIS_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS icon_sizes)
  install(FILES ${icon_dir}/${size}x${size}/${QUORVIS_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Man pages carry the project version; installed compressed as Debian wants.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(man_files)
foreach(page quorvis quorvis-cli)
  configure_file(${pkg_dir}/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -f -k ${CMAKE_BINARY_DIR}/man/${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
    VERBATIM)
  list(APPEND man_files ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(quorvis_man_pages ALL DEPENDS ${man_files})
install(FILES ${man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# cpack -G DEB in a build folder makes quorvis_VERSION_ARCH.deb. The library
# dependencies are read from the binaries by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvis)
set(CPACK_PACKAGE_VENDOR "Quorvis")
set(CPACK_PACKAGE_CONTACT "Quorvis support <support@quorvis.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "split, merge and convert audio files")
set(CPACK_PACKAGE_DESCRIPTION [[
Quorvis splits one audio file into parts (equal parts, a fixed duration per
part, or split points set while listening), merges several files into one
and converts batches into MP3, WAV, WMA, Ogg Vorbis, FLAC or Opus, with tag
copying and per-format encoder settings. The package holds the desktop
program and quorvis-cli, which runs the same operations from scripts.]])
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvis.example.org")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Wayland platform plugin is loaded at run time, so no library names it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
