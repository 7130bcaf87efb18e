# The Debian package (scripts/package): `cpack -G DEB` in a build configured for the /usr prefix.

# Who answers for the package: a placeholder until the project has an address of its own; a packager sets it.
set(GABBLER_MAINTAINER "Gabbler developers <gabbler@example.org>" CACHE STRING
    "The package's maintainer, as \"Name <address>\"")

option(GABBLER_DEBIAN_FILES "Install the copyright file and changelog a Debian package needs" OFF)
if(GABBLER_DEBIAN_FILES)
    install(FILES ${CMAKE_SOURCE_DIR}/dist/debian/copyright DESTINATION ${GABBLER_INSTALL_DOCDIR})
    # The changelog's entries are signed by the maintainer above.
    set(plain ${CMAKE_BINARY_DIR}/debian/changelog)
    configure_file(${CMAKE_SOURCE_DIR}/dist/debian/changelog.in ${plain} @ONLY)
    set(changelog ${CMAKE_BINARY_DIR}/debian/changelog.gz)
    add_custom_command(OUTPUT ${changelog} DEPENDS ${plain}
        COMMAND sh -c "${GABBLER_GZIP} -9 -n -c \"$0\" > \"$1\"" ${plain} ${changelog}
        VERBATIM)
    add_custom_target(gabbler_debian_files ALL DEPENDS ${changelog})
    install(FILES ${changelog} DESTINATION ${GABBLER_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME gabbler)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${GABBLER_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bot console for 3D virtual worlds")
# Lines of the package's long description stay under 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Gabbler logs a bot into a world of a 3D virtual-world universe and, from one
window, shows the world's chat and whispers, the people present, the worlds,
remembered places and a map. It brings its own universe server,
gabbler-universe, with demo worlds and simulated people, so the whole thing
runs on one machine.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Help and the map open web pages through it; the window works without it and says so.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
