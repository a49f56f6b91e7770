# SPDX-License-Identifier: GPL-3.0-or-later
# Manual pages in section 1, compressed as Debian installs them. The program's is written by hand; the
# tools' are made from their own --help and --version at build time (help2man), so they never drift
# from what the tools say. help2man reads them in a UTF-8 locale, or "°C" would come out as "??C".
find_program(HZ70_HELP2MAN help2man)
find_program(HZ70_GZIP gzip)
if(NOT HZ70_HELP2MAN OR NOT HZ70_GZIP)
    message(FATAL_ERROR "help2man and gzip are needed for the manual pages (scripts/setup.sh installs them)")
endif()

set(manual_dir ${PROJECT_BINARY_DIR}/man)
configure_file(${PROJECT_SOURCE_DIR}/docs/man/hz70wiz.1 ${manual_dir}/hz70wiz.1 @ONLY)
set(name_hz70cli "Modbus master for HZ70 controllers on the command line")
set(name_hz70sim "simulated bus of HZ70 controllers on a pseudo-terminal")
set(manuals)
foreach(program hz70wiz hz70cli hz70sim)
    set(page ${manual_dir}/${program}.1)
    if(program STREQUAL "hz70wiz")
        set(make_page)
        set(source ${page})
    else()
        set(make_page COMMAND ${HZ70_HELP2MAN} --no-info --section=1 --source=HZ70wiz --locale=C.UTF-8
                      "--name=${name_${program}}" --output=${page} $<TARGET_FILE:${program}>)
        set(source ${program})
    endif()
    add_custom_command(OUTPUT ${page}.gz
                       ${make_page}
                       COMMAND ${HZ70_GZIP} -9 -n -c ${page} > ${page}.gz
                       DEPENDS ${source}
                       COMMENT "Manual page of ${program}")
    list(APPEND manuals ${page}.gz)
endforeach()
add_custom_target(manuals ALL DEPENDS ${manuals})
install(FILES ${manuals} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
