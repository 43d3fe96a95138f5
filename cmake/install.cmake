# `cmake --install build --prefix ~/.local`: the programs, korrel beside them (the decoder client
# starts korrel from the running program's folder), the desktop entry, the icon, the MIME types
# the shared database lacks, the help pages and the manual page.
set(quillon_programs quillon-cli)
foreach(program quillon korrel)
  if(TARGET ${program})
    list(APPEND quillon_programs ${program})
  endif()
endforeach()
install(TARGETS ${quillon_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/data/quillon.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/quillon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/data/quillon-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME quillon.xml)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/help/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon/help FILES_MATCHING PATTERN "*.html"
        PATTERN "*.css")
install(FILES ${PROJECT_SOURCE_DIR}/docs/quillon-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Straight into a prefix (no DESTDIR, as a packager's staging uses), refresh the desktop's
# caches there so that the new MIME types and the file associations apply at once.
install(CODE "set(quillon_datadir \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
  if(NOT IS_ABSOLUTE "${quillon_datadir}")
    set(quillon_datadir "${CMAKE_INSTALL_PREFIX}/${quillon_datadir}")
  endif()
  if("$ENV{DESTDIR}" STREQUAL "")
    find_program(quillon_update_mime update-mime-database)
    find_program(quillon_update_desktop update-desktop-database)
    if(quillon_update_mime)
      execute_process(COMMAND ${quillon_update_mime} "${quillon_datadir}/mime"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(quillon_update_desktop)
      execute_process(COMMAND ${quillon_update_desktop} -q
                      "${quillon_datadir}/applications" OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]])
