# SPDX-License-Identifier: GPL-3.0-or-later
# Every layer is its own library whose include directory holds its own headers and nothing else, so a
# file reaches only the layers its target links. Headers keep their folder in the include line
# ("comm/Trans.h"): each layer gets a directory in the build tree with a forwarding header per header of
# its folder, the way KDE Frameworks publish theirs. The source tree itself is no include directory.

# hz70_layer_headers(<target> <folder> [BASE <dir>]): publishes the headers directly in <dir>/<folder>
# (<dir> relative to the project's root, the root itself by default) as "<folder>/<name>.h" to <target>
# and whatever links it.
function(hz70_layer_headers target folder)
    cmake_parse_arguments(PARSE_ARGV 2 published "" "BASE" "")
    set(base ${PROJECT_SOURCE_DIR})
    if(published_BASE)
        set(base ${PROJECT_SOURCE_DIR}/${published_BASE})
    endif()
    set(root ${PROJECT_BINARY_DIR}/layers/${target})
    file(GLOB headers CONFIGURE_DEPENDS ${base}/${folder}/*.h)
    set(published)
    foreach(header ${headers})
        get_filename_component(name ${header} NAME)
        file(CONFIGURE OUTPUT ${root}/${folder}/${name} CONTENT "#include \"${header}\"\n" @ONLY)
        list(APPEND published ${root}/${folder}/${name})
    endforeach()
    # A header moved or removed must not stay reachable through its old forwarder.
    file(GLOB forwarders ${root}/${folder}/*.h)
    foreach(forwarder ${forwarders})
        if(NOT forwarder IN_LIST published)
            file(REMOVE ${forwarder})
        endif()
    endforeach()
    target_include_directories(${target} PUBLIC ${root})
endfunction()

# hz70_add_layer(<target> <folder> [LINKS <target>...]): a static library of <folder>'s sources that
# publishes its headers and may use only the layers named after LINKS. It carries the build's sanitizers
# (Hz70Sanitizers) to itself and to everything that links it.
function(hz70_add_layer target folder)
    cmake_parse_arguments(PARSE_ARGV 2 layer "" "" "LINKS")
    add_library(${target} STATIC)
    hz70_layer_headers(${target} ${folder})
    target_link_libraries(${target} PUBLIC hz70sanitizers ${layer_LINKS})
    hz70_set_warnings(${target})
endfunction()
