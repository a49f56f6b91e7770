# SPDX-License-Identifier: GPL-3.0-or-later
# hz70sim against masters we did not write (mbpoll, pymodbus) and its reply pacing, over pseudo-terminals.
set(sim_cases mbpoll-rtu pacing)
if(HZ70_PYMODBUS_FOUND)
    list(APPEND sim_cases pymodbus-rtu pymodbus-ascii)
endif()
foreach(case ${sim_cases})
    add_test(NAME conformance.sim.${case}
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/sim_conformance.py
                     --sim $<TARGET_FILE:hz70sim> ${case})
    set_tests_properties(conformance.sim.${case} PROPERTIES LABELS "conformance" TIMEOUT 30 SKIP_RETURN_CODE 77)
endforeach()

# Our own master against hz70sim with every fault kind: each exchange ends in its documented result code.
if(TARGET hz70cli)
    foreach(mode 0 6)
        add_test(NAME integration.sim.hz70cli.mode${mode}
                 COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/sim_hz70cli.py
                         --sim $<TARGET_FILE:hz70sim> --cli $<TARGET_FILE:hz70cli> --mode ${mode})
        set_tests_properties(integration.sim.hz70cli.mode${mode} PROPERTIES LABELS "integration" TIMEOUT 30)
    endforeach()

    # The same master on lines with a real adapter's habits (echo, stray and trailing bytes, late replies,
    # unplug and plug), RTU and ASCII, single exchanges and polling.
    add_test(NAME integration.sim.line-habits
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/line_habits.py
                     --sim $<TARGET_FILE:hz70sim> --cli $<TARGET_FILE:hz70cli>)
    set_tests_properties(integration.sim.line-habits PROPERTIES LABELS "integration" TIMEOUT 120)
endif()
