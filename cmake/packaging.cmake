# Installation and packages. On Linux `cmake --install` puts morvale-convert,
# its manual page and its bash completion under the prefix, and CPack makes a
# Debian package of them; on Windows CPack makes a zip of both programs.
# tools/package.sh runs both builds.
include(GNUInstallDirs)

set(CPACK_PACKAGE_VENDOR "Morvale project")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert Esri ASCII elevation grids into 3D meshes")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://morvale.example.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  install(TARGETS morvale-convert RUNTIME DESTINATION .)
  if(TARGET morvale)
    install(TARGETS morvale RUNTIME DESTINATION .)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/NOTICE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME morvale)
  set(CPACK_PACKAGE_FILE_NAME morvale-${PROJECT_VERSION}-windows-x86_64)
else()
  install(TARGETS morvale-convert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The converter looks for its GDAL module in ../lib/morvale from its own folder.
  if(TARGET morvale-gdal)
    install(TARGETS morvale-gdal LIBRARY DESTINATION lib/morvale)
  endif()
  install(FILES ${MORVALE_DOCS_DIR}/morvale-convert.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${MORVALE_DOCS_DIR}/morvale-convert.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME morvale-convert)

  # Debian keeps a package's licence and changelog under its own name.
  set(MORVALE_PACKAGE_DOCS ${PROJECT_BINARY_DIR}/packaging)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in ${MORVALE_PACKAGE_DOCS}/changelog @ONLY)
  add_custom_command(
    OUTPUT ${MORVALE_PACKAGE_DOCS}/changelog.gz
    COMMAND ${MORVALE_GZIP} -9nkf ${MORVALE_PACKAGE_DOCS}/changelog
    DEPENDS ${MORVALE_PACKAGE_DOCS}/changelog)
  add_custom_target(morvale-package-docs ALL DEPENDS ${MORVALE_PACKAGE_DOCS}/changelog.gz)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${MORVALE_PACKAGE_DOCS}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvale-convert)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME morvale-convert)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Morvale maintainers <maintainers@morvale.example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the program really links, as dpkg-shlibdeps finds them
  # (GDAL's runtime among them in a build with MORVALE_GDAL).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # lib3mf is opened when a 3MF is written, so dpkg-shlibdeps does not see it.
  if(MORVALE_LIB3MF_INCLUDE AND MORVALE_LIB3MF_LIBRARY)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "lib3mf1 (>= 1.8.1)")
  endif()
  set(CPACK_PACKAGE_DESCRIPTION "morvale-convert turns a digital elevation model stored as an Esri ASCII
grid (.asc), or any raster GDAL reads (GeoTIFF, SRTM .hgt, VRT mosaics,
16-bit PNG heightmaps), into a Wavefront OBJ mesh for 3D software, in two
modes: one continuous interpolated surface, or one flat square per cell.
It crops, orders the axes for common 3D packages and scales, and reads and
writes grids of any size in bounded memory.")
endif()

include(CPack)
