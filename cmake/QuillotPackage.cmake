# The Debian package: `cpack -G DEB` in the build folder. It holds what the install rules
# of app/ place (the program, its media module, its clips, the command, the desktop
# entry, the icons) and the files of packaging/: the AppStream metainfo, the manual page,
# the copyright and the changelog. The package's dependencies are found by dpkg-shlibdeps
# from the libraries the program and its media module link.
if(NOT TARGET quillot)
    return()
endif()
include(GNUInstallDirs)

set(QUILLOT_HOMEPAGE "https://quillot.org" CACHE STRING
    "The project's home page (its screens/ folder holds the metainfo's screenshots)")
set(QUILLOT_MAINTAINER "The Quillot developers <packages@quillot.org>" CACHE STRING
    "Maintainer of the Debian package")
string(REGEX REPLACE ".*<(.*)>.*" "\\1" QUILLOT_MAINTAINER_EMAIL "${QUILLOT_MAINTAINER}")
set(QUILLOT_VERSION ${PROJECT_VERSION})

# Filled in at configure time, written only when their text changes.
set(pkg ${PROJECT_BINARY_DIR}/packaging)
foreach(file quillot.1 quillot.metainfo.xml copyright changelog)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${file} ${pkg}/${file} @ONLY)
endforeach()

# Manual page and changelog are installed compressed, as Debian keeps them.
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(OUTPUT ${pkg}/quillot.1.gz ${pkg}/changelog.gz
    COMMAND ${GZIP_PROGRAM} -9nf -k ${pkg}/quillot.1 ${pkg}/changelog
    DEPENDS ${pkg}/quillot.1 ${pkg}/changelog
    COMMENT "Compressing the manual page and the changelog")
add_custom_target(package_docs ALL DEPENDS ${pkg}/quillot.1.gz ${pkg}/changelog.gz)

install(FILES ${pkg}/quillot.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pkg}/quillot.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    RENAME org.quillot.Quillot.metainfo.xml)
install(FILES ${pkg}/copyright ${pkg}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillot)

set(CPACK_PACKAGE_NAME quillot)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quillot developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "style catalogue with video clips, in Korean and English")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLOT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A catalogue front-end in one window: a start picture with a Korean or English\n"
    "choice, an introduction clip for each language, and a category screen whose\n"
    "hot-spots play the catalogue's clips. The ten clips come with the package.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLOT_HOMEPAGE}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_GENERATOR DEB)
include(CPack)
