# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts in place, and the Debian package CPack builds from it.
include(GNUInstallDirs)

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
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${hz70_doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/tools/hz70sim/README.md DESTINATION ${hz70_doc_dir} RENAME hz70sim.md)
install(FILES ${PROJECT_SOURCE_DIR}/COPYING DESTINATION ${hz70_doc_dir} RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hz70wiz)
set(CPACK_PACKAGE_VENDOR "HZ70wiz developers")
set(CPACK_PACKAGE_CONTACT "HZ70wiz developers <hz70wiz@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configures and watches HZ70 heating-zone controllers over Modbus")
set(CPACK_PACKAGE_DESCRIPTION "Modbus master (RTU/ASCII, RS-485) for up to eight HZ70 temperature \
controllers of an HS70 heating system, with live zone panels, trend chart, table and bar graphs; \
with hz70sim, a simulated controller bus, and hz70cli, a command-line companion.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON) # the Depends line from the libraries the programs link
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_STRIP_FILES ON)
include(CPack)
