# The Debian package of the program: `cpack -G DEB` in the build folder makes
# quillbox_<version>_<arch>.deb from the install rules of packaging/.
# Included from the top-level CMakeLists.txt after packaging/ (which sets
# QUILLBOX_INSTALL_FOLDER), where include(CPack) writes CPackConfig.cmake into
# the build folder.
set(CPACK_PACKAGE_NAME quillbox)
set(CPACK_PACKAGE_VENDOR "Quillbox developers")
set(CPACK_PACKAGE_CONTACT "Quillbox developers <developers@quillbox.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "desktop companion for a portable e-book reader")
# Debian wants the long description in lines of less than 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Quillbox works with an e-book reader that plugs in as a removable drive."
  "It keeps up to 1000 RSS feed addresses, fetches them, turns the news into"
  "one FictionBook (FB2) file and copies it into the reader's News folder, by"
  "hand or on a schedule. It also signs in to the Tomeport store, reads the"
  "account's bookshelves, books, balance and payments into a local library"
  "that marks the copies on the computer and on the reader, and downloads,"
  "copies and deletes books.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME quillbox)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Run-time dependencies come from the binaries (dpkg-shlibdeps). The program's
# own libraries live in its private dll/ folder and are found there, not
# looked up among the system's packages.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  .${CPACK_PACKAGING_INSTALL_PREFIX}/${QUILLBOX_INSTALL_FOLDER}/dll)

# A source package (the package_source target) is the checkout without its
# build folders and history.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/build/" "/[.]git/")

include(CPack)
