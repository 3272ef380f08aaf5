# Install rules and packages (their tests: tests/package/).
#
#   cmake --install <build> --prefix <root>   bin/brantix, share/man/man1/brantix.1.gz,
#                                             share/doc/brantix/README.md
#   cpack -G DEB  (native build)              brantix_<version>_<arch>.deb
#   cpack -G ZIP  (Windows build)             brantix-<version>-win64.zip
#
# tools/package.sh builds both packages from a clean tree.

set(BRANTIX_MAINTAINER "brantix developers <brantix@example.org>" CACHE STRING
    "Maintainer written into the Debian package")

# The README and its pictures. The README is optional so that a tree
# without one still installs.
set(BRANTIX_DOC_PICTURES
    ${PROJECT_SOURCE_DIR}/docs/avant.png
    ${PROJECT_SOURCE_DIR}/docs/apres.png)

if(WIN32)
  # The zip holds one folder, brantix-<version>-win64, with brantix.exe, the
  # README and the README's two pictures in docs/: it is its own component,
  # so that the bin/ folder of the ordinary install stays out of it.
  install(TARGETS brantix RUNTIME DESTINATION . COMPONENT zip)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT zip
          OPTIONAL)
  install(FILES ${BRANTIX_DOC_PICTURES} DESTINATION docs COMPONENT zip
          OPTIONAL)
else()
  # The manual page, compressed as Debian wants it. gzip is looked for only
  # when installing or packaging: building needs nothing but the compiler.
  set(BRANTIX_MAN_GZ ${CMAKE_CURRENT_BINARY_DIR}/man/brantix.1.gz)
  install(CODE "
    find_program(BRANTIX_GZIP gzip REQUIRED)
    file(MAKE_DIRECTORY \"${CMAKE_CURRENT_BINARY_DIR}/man\")
    execute_process(
      COMMAND \"\${BRANTIX_GZIP}\" -9 -n -c \"${PROJECT_SOURCE_DIR}/man/brantix.1\"
      OUTPUT_FILE \"${BRANTIX_MAN_GZ}\"
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR \"gzip failed on the manual page\")
    endif()
  ")
  install(FILES ${BRANTIX_MAN_GZ} DESTINATION share/man/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/brantix
          OPTIONAL)
  install(FILES ${BRANTIX_DOC_PICTURES} DESTINATION share/doc/brantix/docs
          OPTIONAL)
endif()

# Packages.
set(CPACK_PACKAGE_NAME brantix)
set(CPACK_PACKAGE_VENDOR "brantix")
set(CPACK_PACKAGE_CONTACT "${BRANTIX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "adds one column to the table of an HTML page")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL zip)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PACKAGE_FILE_NAME brantix-${PROJECT_VERSION}-win64)
  set(CPACK_ARCHIVE_FILE_NAME brantix-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BRANTIX_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION web)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends: computed from the program's shared libraries.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The summary above is the first line; this is the text below it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"brantix is a console program that talks French. Given an HTML page, it
keeps a copy of it (page.orig), asks six questions (or reads them from
param.txt) and rewrites the page line by line with a new column: a
heading cell in the first table row and, in every later row, either two
icons sharing a clickable image map or a dash.")
endif()
include(CPack)
