# The Debian package: `cmake --build build --target package` (or
# `cd build && cpack -G DEB`) writes lumetra_<version>_<arch>.deb with what
# `cmake --install` installs, under /usr.
# The package target builds everything first; cpack itself, like
# `cmake --install`, packages the build tree as it stands instead of checking
# every target of the project again (which the package test would pay for).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumetra)
set(CPACK_PACKAGE_VENDOR "Lumetra developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumetra developers <lumetra@lumetra.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo editor with a full-resolution live preview")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_LIST_DIR}/debian/description)
set(CPACK_PACKAGE_HOMEPAGE_URL https://lumetra.org)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debian's packages are stripped; the debug symbols stay in the build tree.
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lumetra developers <lumetra@lumetra.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://lumetra.org)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# dpkg-shlibdeps names the packages of the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What it cannot see: Qt loads its TIFF reader and writer as a plugin, and
# the window and the watermark need at least one font file (DejaVu is the
# desktop's default sans-serif and a look-alike of several watermark fonts).
# The xcb and offscreen platform plugins come with libqt6gui6 itself.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins, fonts-dejavu-core")
# The text watermark draws each classic family name in a free look-alike
# from these packages when one is installed, else in the default sans-serif.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-liberation, fonts-urw-base35, fonts-comic-neue, fonts-courier-prime, fonts-gfs-didot, fonts-cabin, fonts-cabinsketch, fonts-linuxlibertine, fonts-league-spartan")

include(CPack)
