# The Debian package of both programs: `cpack -G DEB` in the build folder
# (scripts/package.sh) packs what `cmake --install` installs, under /usr,
# where the programs find their shared files in /usr/share/velloq.
set(VL_PACKAGE_MAINTAINER "Velloq baseline maintainers <maintainers@velloq.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velloq-baseline)
set(CPACK_PACKAGE_VENDOR "Corvane Software")
set(CPACK_PACKAGE_CONTACT "${VL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "create Velloq projects from baseline folders")
set(CPACK_PACKAGE_DESCRIPTION
    "A baseline is a folder of XML files that Velloq exported from a project.
vlbaseline validates such a folder and creates a new Velloq project from it,
on SQLite or PostgreSQL, completing the references between projects across
runs, and verifies that a project holds its baseline.
VlCreateProjFromBaselineWiz walks a user through the same steps in a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the programs link (libpq, SQLite, pugixml, Qt 6) become
# the package's dependencies, with the versions this system's packages ask.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sqlite3, postgresql-client, bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
