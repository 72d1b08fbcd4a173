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
# libtiff is opened when a TIFF is written, not linked, so dpkg-shlibdeps
# does not see it: its package comes from the library's own shlibs entry
# ("libtiff 6 libtiff6 (>= 4.5.0)"), else from Debian's rule for naming
# library packages (libtiff.so.6 is in libtiff6).
set(_trimbrel_tiff_depends "")
string(REGEX MATCH "^(.+)[.]so[.]([0-9]+)$" _trimbrel_tiff_parts "${TRIMBREL_TIFF_SONAME}")
set(_trimbrel_tiff_base ${CMAKE_MATCH_1})
set(_trimbrel_tiff_major ${CMAKE_MATCH_2})
find_program(TRIMBREL_DPKG_QUERY dpkg-query)
if(TRIMBREL_DPKG_QUERY AND _trimbrel_tiff_parts)
  get_filename_component(_trimbrel_tiff_real ${TRIMBREL_TIFF_FILE} REALPATH)
  execute_process(COMMAND ${TRIMBREL_DPKG_QUERY} -S ${_trimbrel_tiff_real}
    OUTPUT_VARIABLE _trimbrel_tiff_owner ERROR_QUIET)
  string(REGEX MATCH "^[^:, ]+" _trimbrel_tiff_package "${_trimbrel_tiff_owner}")
  if(_trimbrel_tiff_package)
    execute_process(COMMAND ${TRIMBREL_DPKG_QUERY} --control-path ${_trimbrel_tiff_package} shlibs
      OUTPUT_VARIABLE _trimbrel_tiff_shlibs OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(_trimbrel_tiff_shlibs AND EXISTS "${_trimbrel_tiff_shlibs}")
      file(STRINGS ${_trimbrel_tiff_shlibs} _trimbrel_tiff_line
        REGEX "^${_trimbrel_tiff_base} ${_trimbrel_tiff_major} ")
      if(_trimbrel_tiff_line MATCHES "^[^ ]+ [^ ]+ (.+)$")
        set(_trimbrel_tiff_depends "${CMAKE_MATCH_1}")
      endif()
    endif()
  endif()
endif()
if(NOT _trimbrel_tiff_depends AND _trimbrel_tiff_parts)
  set(_trimbrel_tiff_depends ${_trimbrel_tiff_base}${_trimbrel_tiff_major})
endif()
if(NOT _trimbrel_tiff_depends)
  message(FATAL_ERROR "no Debian package known for ${TRIMBREL_TIFF_SONAME}")
endif()
# What no library link shows: libtiff, Qt's platform plugins, without which
# the window cannot open on a desktop, and a font with the window's Chinese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${_trimbrel_tiff_depends}, qt6-qpa-plugins, fonts-wqy-zenhei | fonts-noto-cjk")

include(CPack)
