# What `cmake --install` lays out under the prefix, and what the Debian package holds.

install(TARGETS gabbler gabbler-universe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/doc/ DESTINATION ${GABBLER_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/dist/desktop/org.gabbler.Gabbler.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dist/desktop/org.gabbler.Gabbler.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

# The icon is drawn once, as SVG; the sizes menus and docks ask for are rendered from it at build time, so the
# pictures cannot drift from the drawing.
find_program(GABBLER_RSVG_CONVERT rsvg-convert REQUIRED)
set(icon ${CMAKE_SOURCE_DIR}/dist/icons/gabbler.svg)
set(iconFiles "")
foreach(size 16 22 24 32 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/gabbler.png)
    add_custom_command(OUTPUT ${png} DEPENDS ${icon}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
        COMMAND ${GABBLER_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${icon}
        VERBATIM)
    list(APPEND iconFiles ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

# Manual pages are installed compressed, as Debian's do.
find_program(GABBLER_GZIP gzip REQUIRED)
set(manFiles "")
foreach(page gabbler gabbler-universe)
    set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${gz} DEPENDS ${CMAKE_SOURCE_DIR}/dist/man/${page}.1
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND sh -c "${GABBLER_GZIP} -9 -n -c \"$0\" > \"$1\"" ${CMAKE_SOURCE_DIR}/dist/man/${page}.1 ${gz}
        VERBATIM)
    list(APPEND manFiles ${gz})
    install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(gabbler_install_files ALL DEPENDS ${iconFiles} ${manFiles})

# The user units in dist/systemd/ run the programs from ~/.local/bin, for copying by hand; installed ones run them
# from the installed tree, known only once the prefix is (cmake --install --prefix).
install(CODE "set(GABBLER_UNIT_SOURCES \"${CMAKE_SOURCE_DIR}/dist/systemd\")
set(GABBLER_UNIT_STAGING \"${CMAKE_BINARY_DIR}/installed-units\")
set(GABBLER_UNIT_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
set(GABBLER_UNIT_DESTINATION \"${GABBLER_INSTALL_SYSTEMDUSERDIR}\")")
install(SCRIPT ${CMAKE_SOURCE_DIR}/cmake/InstallUnits.cmake)

include(${CMAKE_SOURCE_DIR}/cmake/Package.cmake)
