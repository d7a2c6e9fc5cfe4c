# The Debian package: `cpack -G DEB` in a build tree (scripts/package.sh does the whole road).
# Runtime dependencies are computed by dpkg-shlibdeps from the binaries, not listed by hand.

set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})

# Man pages are installed compressed, as Debian's policy wants them.
set(man_pages salvora-cli.1 salvora.1)
set(compressed_man_pages "")
foreach(page ${man_pages})
  set(out ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${packaging_dir}/${page} > ${out}
    DEPENDS ${packaging_dir}/${page} VERBATIM)
  list(APPEND compressed_man_pages ${out})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${compressed_man_pages})
install(FILES ${compressed_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9n -c ${packaging_dir}/changelog > ${changelog}
  DEPENDS ${packaging_dir}/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/salvora)

install(FILES ${packaging_dir}/salvora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/skin/images/logo.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME salvora.png)
install(FILES ${packaging_dir}/org.salvora.open-device.policy DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
install(FILES ${packaging_dir}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/salvora)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME salvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Salvora developers")
set(SALVORA_PACKAGE_MAINTAINER "Salvora developers <packages@salvora.invalid>" CACHE STRING
    "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${SALVORA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file recovery for camera cards, USB sticks and disks")
# The long description: lines of at most 80 characters, an empty line between paragraphs.
set(CPACK_PACKAGE_DESCRIPTION "Salvora reads the FAT or NTFS metadata of a source to find deleted files
with their names and folders, sweeps the free space for lost directory
sectors, file records and files recognised by their content, and copies
what the user picks into category folders. The scanned medium is only
ever read.

The package holds the desktop program (salvora), the command line
(salvora-cli) and a small helper that opens a device read-only for a
user after polkit authorisation.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec, mplayer, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
