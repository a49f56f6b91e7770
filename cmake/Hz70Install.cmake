# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts in place, and the Debian package CPack builds from it.
include(GNUInstallDirs)
include(Hz70Manuals)

set(hz70_app_id org.hz70wiz.HZ70wiz)
set(hz70_app_dir ${PROJECT_SOURCE_DIR}/resources/app)

install(TARGETS hz70wiz hz70sim hz70cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${hz70_app_dir}/${hz70_app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${hz70_app_dir}/${hz70_app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${hz70_app_dir}/hz70wiz.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${hz70_app_dir}/hicolor/${size}x${size}/apps/hz70wiz.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
set(hz70_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/hz70wiz)
# The documentation lies flat in its folder, so the installed README's links, which lead into the source
# tree, are led to the files beside it; a link to a file that is not installed stops the configure.
file(GLOB hz70_doc_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${hz70_doc_files} DESTINATION ${hz70_doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/tools/hz70sim/README.md DESTINATION ${hz70_doc_dir} RENAME hz70sim.md)
set(hz70_doc_names hz70sim.md)
foreach(file ${hz70_doc_files})
    get_filename_component(name ${file} NAME)
    list(APPEND hz70_doc_names ${name})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
file(READ ${PROJECT_SOURCE_DIR}/README.md hz70_readme)
# Files of the source tree are named as installed, in links and text alike.
string(REPLACE "tools/hz70sim/README.md" "hz70sim.md" hz70_readme "${hz70_readme}")
string(REPLACE "](docs/" "](" hz70_readme "${hz70_readme}")
string(REPLACE "[docs/" "[" hz70_readme "${hz70_readme}")
# Link targets without their brackets, which a CMake list would not keep apart.
string(REGEX MATCHALL "\\]\\([^)#: ]+\\)" hz70_readme_links "${hz70_readme}")
string(REGEX MATCHALL "\\([^)]+\\)" hz70_readme_links "${hz70_readme_links}")
foreach(link ${hz70_readme_links})
    string(REGEX REPLACE "^\\((.*)\\)$" "\\1" target "${link}")
    if(NOT target IN_LIST hz70_doc_names)
        message(FATAL_ERROR "README.md links to ${target}, which the package does not install")
    endif()
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/doc/README.md "${hz70_readme}")
install(FILES ${PROJECT_BINARY_DIR}/doc/README.md DESTINATION ${hz70_doc_dir})
# Debian's forms: a machine-readable copyright file pointing at the common licence, and the changelog
# compressed as dpkg expects it.
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${hz70_doc_dir})
set(hz70_changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${hz70_changelog}
                   COMMAND ${HZ70_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/resources/debian/changelog > ${hz70_changelog}
                   DEPENDS ${PROJECT_SOURCE_DIR}/resources/debian/changelog)
add_custom_target(changelog ALL DEPENDS ${hz70_changelog})
install(FILES ${hz70_changelog} DESTINATION ${hz70_doc_dir})
# A broker's access list and passwords for commands from the broker, to copy and adapt.
install(FILES ${PROJECT_SOURCE_DIR}/dist/mosquitto/hz70-acl ${PROJECT_SOURCE_DIR}/dist/mosquitto/hz70-mosquitto.conf
        DESTINATION ${hz70_doc_dir}/examples)

# The gateway's service, installed disabled (nothing enables it), and its configuration under /etc. A
# package or an install to /usr puts the configuration in /etc, as Debian has it; an install to any other
# prefix keeps it under that prefix. Decided at install time, where cpack and --prefix choose the prefix.
set(hz70_systemd_dir ${PROJECT_SOURCE_DIR}/dist/systemd)
install(FILES ${hz70_systemd_dir}/hz70-gateway.service DESTINATION lib/systemd/system)
install(CODE [[
    if(CMAKE_INSTALL_PREFIX MATCHES "/usr/?$")
        set(hz70_sysconf_dir ../etc)
    else()
        set(hz70_sysconf_dir etc)
    endif()
]])
install(FILES ${hz70_systemd_dir}/gateway.conf DESTINATION "\${hz70_sysconf_dir}/hz70wiz")
# The operator's edits to it survive an upgrade.
file(WRITE ${PROJECT_BINARY_DIR}/debian/conffiles "/etc/hz70wiz/gateway.conf\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hz70wiz)
set(CPACK_PACKAGE_VENDOR "HZ70wiz developers")
# The project has no mail domain of its own yet: a reserved one says so honestly.
set(CPACK_PACKAGE_CONTACT "HZ70wiz developers <developers@hz70wiz.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configures and watches HZ70 heating-zone controllers over Modbus")
set(CPACK_PACKAGE_DESCRIPTION "Modbus master (RTU/ASCII, RS-485) for up to eight HZ70 temperature
controllers of an HS70 heating system, with live zone panels, trend chart,
table and bar graphs; with hz70sim, a simulated controller bus, and hz70cli,
a command-line companion.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON) # the Depends line from the libraries the programs link
# Qt's own texts (message-box buttons, edit menus) in Polish, like the rest of the program.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/conffiles)
include(CPack)
