# The manual pages and the Debian documents, gzipped as Debian wants them
# (-n: no name or time inside, so a rebuild gives the same bytes), installed
# by `cmake --install` and so into the package.
set(SERVO_MAN_PAGES servo-console servo-sim servo-cli)
set(SERVO_DOCS_DIR ${PROJECT_BINARY_DIR}/docs-gz)
configure_file(${PROJECT_SOURCE_DIR}/dist/debian/changelog.Debian.in ${SERVO_DOCS_DIR}/changelog.Debian @ONLY)

set(gzipped ${SERVO_DOCS_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${SERVO_DOCS_DIR}/changelog.Debian.gz
  COMMAND gzip -9nkf ${SERVO_DOCS_DIR}/changelog.Debian
  DEPENDS ${SERVO_DOCS_DIR}/changelog.Debian VERBATIM)
foreach(page ${SERVO_MAN_PAGES})
  add_custom_command(OUTPUT ${SERVO_DOCS_DIR}/${page}.1.gz
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/dist/man/${page}.1 > ${SERVO_DOCS_DIR}/${page}.1.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/dist/man/${page}.1)
  list(APPEND gzipped ${SERVO_DOCS_DIR}/${page}.1.gz)
  install(FILES ${SERVO_DOCS_DIR}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(servo_docs ALL DEPENDS ${gzipped})

install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/copyright ${SERVO_DOCS_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/servo-console)
install(FILES ${PROJECT_SOURCE_DIR}/dist/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME servo-console)
