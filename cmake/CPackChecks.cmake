# Read by cpack for each package it makes: a Debian package is made only from
# a build configured for it (`cmake --workflow --preset package`), never from
# one whose programs or paths Debian would refuse.
if(CPACK_GENERATOR STREQUAL "DEB")
  # Without it cpack would make a package that depends on nothing.
  find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT DPKG_SHLIBDEPS)
    message(FATAL_ERROR "Making a Debian package: dpkg-shlibdeps, which finds what the programs need, "
      "was not found (apt-get install dpkg-dev)")
  endif()
  set(why "")
  set(fix "make it with: cmake --workflow --preset package")
  if(CPACK_DEVICE_BITMAPS_STATIC)
    set(why "its programs are linked statically (DEVICE_BITMAPS_STATIC)")
  elseif(NOT CPACK_DEVICE_BITMAPS_PREFIX STREQUAL "/usr")
    set(why "it installs under ${CPACK_DEVICE_BITMAPS_PREFIX}, not /usr (CMAKE_INSTALL_PREFIX)")
  elseif(NOT CPACK_DEVICE_BITMAPS_MAN_PAGES)
    set(why "it makes no manual pages (without gzip, or in a cross build, whose catalogue cannot run here)")
  elseif(NOT CPACK_DEVICE_BITMAPS_CHANGELOG_VERSION STREQUAL CPACK_PACKAGE_VERSION)
    set(why "packaging/changelog.in's latest entry is for ${CPACK_DEVICE_BITMAPS_CHANGELOG_VERSION}, \
the project is ${CPACK_PACKAGE_VERSION}")
    set(fix "add an entry for ${CPACK_PACKAGE_VERSION} at its top")
  endif()
  if(why)
    message(FATAL_ERROR "Making a Debian package of this build: ${why}; ${fix}")
  endif()
endif()
