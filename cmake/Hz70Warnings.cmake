# SPDX-License-Identifier: GPL-3.0-or-later
# Warnings are errors in our own targets; third-party headers come in as system includes.
function(hz70_set_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Woverloaded-virtual -Wimplicit-fallthrough -Werror)
endfunction()
