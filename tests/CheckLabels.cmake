# Fails when a test of BUILD_DIR has none of the labels unit, e2e, soak, install: a labelled run
# (ctest -L unit) would never run it. Run with -DCTEST=<ctest> -DBUILD_DIR=<build dir>.
execute_process(COMMAND ${CTEST} --test-dir ${BUILD_DIR} -N -LE "^(unit|e2e|soak|install)$"
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "ctest -N failed (${result}):\n${listing}")
endif()
if(NOT listing MATCHES "Total Tests: ([0-9]+)")
  message(FATAL_ERROR "no test count in:\n${listing}")
endif()
if(NOT CMAKE_MATCH_1 EQUAL 0)
  message(FATAL_ERROR "tests without a label:\n${listing}")
endif()
