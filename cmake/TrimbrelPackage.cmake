# The Debian package, made by CPack from the install rules:
#   cpack -G DEB          (in the build folder; writes trimbrel_<version>_<arch>.deb)
# The shared libraries the installed files use give most of Depends;
# dpkg-shlibdeps works them out.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trimbrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Trimbrel developers")
set(CPACK_PACKAGE_CONTACT "The Trimbrel developers <trimbrel@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.org/trimbrel/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch photo trimmer for pictures of one exact size")
# Lines as they stand in the package: CPack indents them, an empty one becomes " .".
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Trimbrel turns any number of photos into pictures of one exact size, for ID"
  "and passport photos, badges, staff and school lists or catalogues. The target"
  "is given in pixels, centimetres or inches with a resolution; the chosen side"
  "of each photo maps exactly onto it, and the other side is centred and cut or"
  "padded, so that no photo is distorted. It reads JPEG, PNG, BMP, GIF, ICO,"
  "cursor and PCX files and writes BMP, JPG, GIF, TIFF or PNG."
  ""
  "It has a window, which takes photos from a file dialog, from drops and from"
  "the file manager's Open With menu, and a command line that trims photos"
  "without opening a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no library link shows: Qt's platform plugins, without which the
# window cannot open on a desktop, and a font with the window's Chinese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-zenhei | fonts-noto-cjk")

include(CPack)
