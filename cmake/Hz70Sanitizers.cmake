# SPDX-License-Identifier: GPL-3.0-or-later
# hz70sanitizers: the run-time checks of a sanitizer or fuzzing build, as usage requirements of one
# interface target. Every layer links it (Hz70Layers), so our own code and whatever links a layer, and
# nothing else, is compiled and linked with them; third-party code stays as its packages built it.
add_library(hz70sanitizers INTERFACE)
if(HZ70_SANITIZE OR HZ70_FUZZ)
    # A finding ends the program at once, so a test cannot pass over it.
    target_compile_options(hz70sanitizers INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(hz70sanitizers INTERFACE -fsanitize=address,undefined)
endif()
if(HZ70_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "HZ70_FUZZ needs clang (CXX=clang++)")
    endif()
    # libFuzzer's coverage in the libraries the fuzz targets feed; test programs, which no fuzzer runs,
    # compile faster without it. Only the fuzz targets link libFuzzer's own main.
    target_compile_options(hz70sanitizers INTERFACE
        $<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,STATIC_LIBRARY>:-fsanitize=fuzzer-no-link>)
endif()
