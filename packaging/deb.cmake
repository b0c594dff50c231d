# The Debian package: `cpack -G DEB` in the build folder writes
# tarvelo_VERSION_ARCH.deb, which installs with apt-get install ./tarvelo_*.deb.
# The package holds what `cmake --install` installs, under /usr, plus the
# copyright file and the changelog that Debian requires of every package.

set(TARVELO_MAINTAINER "tarvelo developers <tarvelo@example.org>" CACHE STRING
    "Maintainer of the Debian package, as \"Name <address>\"")

# The changelog of a native package, compressed as Debian policy wants it.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in changelog @ONLY)
add_custom_command(OUTPUT changelog.gz
  COMMAND ${GZIP_EXECUTABLE} -9nkf changelog
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog
  VERBATIM)
add_custom_target(tarvelo_changelog ALL DEPENDS changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME tarvelo)
set(CPACK_PACKAGE_VENDOR "The tarvelo developers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CONTACT "${TARVELO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "convert GenBank flat files to FASTA, table rows or m4 definitions")
set(CPACK_PACKAGE_DESCRIPTION
    "tarvelo converts sequence records in the GenBank flat-file format to
FASTA or to one tab-separated row per record. Labels are built from the
parts of a record the user selects (organism, accession, taxon id, country,
host, ...) and can be made safe for Newick and NEXUS trees. On request the
output carries only accessions, and an m4 file maps each accession back to
its full label after alignment and tree building.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVELO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "m4, parallel")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
