# Installs BUILD_DIR into PREFIX and checks the tree: exactly the programs,
# the desktop entry, the icon, the documentation and the manual pages; the installed programs
# answer --version with the project's VERSION; the entry validates.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

file(GLOB_RECURSE installed RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT installed)
set(expected
  bin/servo-cli
  bin/servo-console
  bin/servo-sim
  share/applications/servo-console.desktop
  share/doc/servo-console/LICENSE
  share/doc/servo-console/README.md
  share/doc/servo-console/changelog.Debian.gz
  share/doc/servo-console/copyright
  share/icons/hicolor/scalable/apps/servo-console.svg
  share/lintian/overrides/servo-console
  share/man/man1/servo-cli.1.gz
  share/man/man1/servo-console.1.gz
  share/man/man1/servo-sim.1.gz)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " installed "${installed}")
  message(FATAL_ERROR "installed files:\n  ${installed}")
endif()

foreach(program servo-console servo-sim servo-cli)
  execute_process(COMMAND ${PREFIX}/bin/${program} --version
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "${program} ${VERSION}\n")
    message(FATAL_ERROR "${program} --version: status ${status}, printed '${out}' '${err}'")
  endif()
endforeach()

# Installed with the test tools by scripts/setup.sh; warnings count as failures.
find_program(VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/servo-console.desktop
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate: status ${status}\n${out}")
endif()
