# What `cmake --install` puts where, and the Debian package CPack makes of it:
#   bin/wertowik, lib/wertowik/plugins/NAME.so (the folder wertowik looks in beside its own),
#   lib/wertowik/host/wertowik-web.so and wertowik-archive.so (the host's own modules, not plug-ins),
#   share/man/man1/wertowik.1.gz, the bash and zsh completion, share/doc/wertowik/.
# `cpack --config build/CPackConfig.cmake` (or the target `package`) writes wertowik_VERSION_amd64.deb.
set(WERTOWIK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging/linux)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS wertowik RUNTIME DESTINATION bin)
get_property(plugin_libraries TARGET wertowik_plugins PROPERTY MANUALLY_ADDED_DEPENDENCIES)
install(TARGETS ${plugin_libraries} LIBRARY DESTINATION lib/wertowik/plugins)
install(TARGETS wertowik_web_module wertowik_archive LIBRARY DESTINATION lib/wertowik/host)

# Debian wants the manual and the changelog compressed, reproducibly (no name, no time).
find_program(WERTOWIK_GZIP gzip REQUIRED)
set(man_page ${CMAKE_BINARY_DIR}/packaging/wertowik.1.gz)
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${man_page}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${WERTOWIK_GZIP} -9nc ${WERTOWIK_PACKAGING_DIR}/wertowik.1 > ${man_page}
  DEPENDS ${WERTOWIK_PACKAGING_DIR}/wertowik.1)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${WERTOWIK_GZIP} -9nc ${WERTOWIK_PACKAGING_DIR}/changelog > ${changelog}
  DEPENDS ${WERTOWIK_PACKAGING_DIR}/changelog)
add_custom_target(wertowik_package_files ALL DEPENDS ${man_page} ${changelog})

install(FILES ${man_page} DESTINATION share/man/man1)
install(FILES ${WERTOWIK_PACKAGING_DIR}/completion/wertowik.bash
  DESTINATION share/bash-completion/completions RENAME wertowik)
install(FILES ${WERTOWIK_PACKAGING_DIR}/completion/_wertowik DESTINATION share/zsh/vendor-completions)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${WERTOWIK_PACKAGING_DIR}/copyright ${changelog}
  DESTINATION share/doc/wertowik)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wertowik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "wertowik developers <wertowik@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue of the programs on magazine cover discs")
set(CPACK_PACKAGE_DESCRIPTION "wertowik offers copies of magazine cover discs (folders, ISO 9660 images,
raw CD images) to six plug-in libraries, each of which reads the index of
one magazine's discs, and keeps the discs and programs they register in a
searchable SQLite catalogue.")
include(CPack)
