# Run by `cmake --install`: the systemd user units with ExecStart pointing into the installed tree.
foreach(unit gabbler-headless@.service gabbler-universe.service)
    file(READ ${GABBLER_UNIT_SOURCES}/${unit} text)
    string(REPLACE "%h/.local/bin/" "${CMAKE_INSTALL_PREFIX}/${GABBLER_UNIT_BINDIR}/" text "${text}")
    file(WRITE ${GABBLER_UNIT_STAGING}/${unit} "${text}")
    file(INSTALL ${GABBLER_UNIT_STAGING}/${unit} DESTINATION ${CMAKE_INSTALL_PREFIX}/${GABBLER_UNIT_DESTINATION}
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
