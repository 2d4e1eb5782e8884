# The manual pages, catalogue(1) and image_export(1), and the package's
# changelog, compressed as Debian installs them: gzip -9n, which stores no
# name and no time, so that every build gives the same bytes. catalogue(1)
# is made from the program's own help while it builds
# (catalogue/manual_page.cmake), so that the two never disagree; that needs
# a catalogue that runs here, so a cross build makes no pages.
find_program(GZIP_EXECUTABLE gzip)
if(NOT GZIP_EXECUTABLE)
  message(NOTICE "gzip was not found: no manual pages or changelog are installed, and no package is made")
endif()

# gzip_for_install(<file> <destination>): <file>.gz, made while the build
# runs (by the target installed_docs), installed into <destination>.
add_custom_target(installed_docs ALL)
function(gzip_for_install file destination)
  get_filename_component(name ${file} NAME)
  add_custom_command(OUTPUT ${file}.gz
    COMMAND ${GZIP_EXECUTABLE} -9nkf ${file}
    # gzip gives the copy its original's time, which would leave it out of date.
    COMMAND ${CMAKE_COMMAND} -E touch ${file}.gz
    DEPENDS ${file}
    VERBATIM)
  add_custom_target(gzip_${name} DEPENDS ${file}.gz)
  add_dependencies(installed_docs gzip_${name})
  install(FILES ${file}.gz DESTINATION ${destination})
endfunction()

set(manual_pages_made OFF)
if(GZIP_EXECUTABLE AND CMAKE_HOST_UNIX AND NOT CMAKE_CROSSCOMPILING)
  set(manual_pages_made ON)
  set(man_dir ${CMAKE_INSTALL_MANDIR}/man1)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/catalogue/catalogue.1)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DCATALOGUE=$<TARGET_FILE:catalogue> -DVERSION=${PROJECT_VERSION} -DOUTPUT=${page}
            -P ${PROJECT_SOURCE_DIR}/catalogue/manual_page.cmake
    DEPENDS catalogue ${PROJECT_SOURCE_DIR}/catalogue/manual_page.cmake
    COMMENT "Making catalogue's manual page from its help"
    VERBATIM)
  gzip_for_install(${page} ${man_dir})
  configure_file(export/image_export.1.in export/image_export.1 @ONLY)
  gzip_for_install(${CMAKE_CURRENT_BINARY_DIR}/export/image_export.1 ${man_dir})
endif()
