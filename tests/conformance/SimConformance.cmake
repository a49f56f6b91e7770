# SPDX-License-Identifier: GPL-3.0-or-later
# hz70sim against masters we did not write (mbpoll, pymodbus) and its reply pacing, over pseudo-terminals.
foreach(case mbpoll-rtu pymodbus-rtu pymodbus-ascii pacing)
    add_test(NAME conformance.sim.${case}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/sim_conformance.py
                     --sim $<TARGET_FILE:hz70sim> ${case})
    set_tests_properties(conformance.sim.${case} PROPERTIES LABELS "conformance" TIMEOUT 30 SKIP_RETURN_CODE 77)
endforeach()
