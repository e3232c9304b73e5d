# Where the programs and their documents go on `cmake --install`, and the
# packages that `cpack` makes of them: a .deb on Linux (cpack -G DEB), a .zip
# on Windows (cpack -G ZIP in the MinGW-w64 build). The tests and benchmarks
# have no install rules and stay out of both.
include(GNUInstallDirs)

set(CR_PACKAGE_CONTACT "colour-reduce maintainers" CACHE STRING
    "Maintainer named in the packages, as \"Name <address>\"")

if(WIN32)
  # A folder to unpack anywhere: the two programs and how to run them.
  install(TARGETS reducebmp reduceview RUNTIME DESTINATION .)
  configure_file(share/windows/README.txt.in ${PROJECT_BINARY_DIR}/share/windows/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/share/windows/README.txt DESTINATION .)
else()
  install(TARGETS reducebmp reduceview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # What both programs read, in both manual pages.
  file(READ share/man/man1/input-formats.roff CR_MAN_INPUT_FILES)
  foreach(page reducebmp.1 reduceview.1)
    configure_file(share/man/man1/${page}.in ${PROJECT_BINARY_DIR}/share/man/man1/${page} @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/share/man/man1/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  install(FILES share/applications/reduceview.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

set(CPACK_PACKAGE_NAME colour-reduce)
set(CPACK_PACKAGE_CONTACT "${CR_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reduce BMP, PNG and JPEG images to at most 256 colours: a viewer and a batch converter")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "reduceview shows a BMP (uncompressed, 1, 4, 8 or 24 bits per pixel), PNG\n"
      "or JPEG image reduced to at most 256 colours by median cut and error\n"
      "diffusion, and prints the palette it chose. reducebmp writes the reduced\n"
      "image as an 8-bit indexed BMP or an indexed PNG, for scripts and machines\n"
      "without a display.")
  string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
  # The libraries the programs link (libx11, libpng16-16, libjpeg62-turbo,
  # libstdc++, libc, ...) as dpkg-shlibdeps finds them, with the versions of
  # the building system.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The viewer's title is Japanese; without a font for it the window manager
  # shows empty boxes in the title bar.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic")
  # Debian keeps manual pages compressed; the build tree and `cmake --install`
  # keep them plain.
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress-manual-pages.cmake)
endif()
include(CPack)
