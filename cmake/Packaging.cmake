# The Debian package, made by CPack from the install rules (scripts/package.sh);
# it installs under /usr, the Debian generator's own prefix.
set(SERVO_PACKAGE_MAINTAINER "Servo console maintainers <servo-console@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME servo-console)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop console for setting up a servo controller")
# Lines as they go into the control file's extended description.
set(CPACK_PACKAGE_DESCRIPTION [=[
A Qt 6 desktop program with which a technician sets up and tunes a small
servo controller over a serial line: servo mode, positions, manual drive,
the regulator parameters and their EEPROM banks, and a live chart of the
velocity response. Includes servo-cli, which sets up many controllers at
once from the command line, and servo-sim, a simulated controller on a
pseudo-terminal, for working without hardware.]=])
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision makes the package non-native, so its changelog is
# changelog.Debian.gz (Docs.cmake writes it with the same revision).
set(SERVO_DEBIAN_REVISION 1)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SERVO_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SERVO_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the linked libraries, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# `package_source` would otherwise pack the build trees too.
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/")

include(CPack)
