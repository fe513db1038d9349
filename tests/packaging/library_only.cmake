# A host that builds only the library needs none of the test or benchmark tools:
# configures the tree with GoogleTest and Google Benchmark out of reach, first
# with the tests and benchmarks turned off (must succeed), then with the tests on
# (must fail, or the first run proved nothing).
# -DROOT -DWORK_DIR
set(hide_tools -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)

file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${ROOT} -B ${WORK_DIR}/off
                  -DPLOVER_TESTS=OFF -DPLOVER_BENCH=OFF ${hide_tools}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the library-only configure failed:\n${out}\n${err}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -S ${ROOT} -B ${WORK_DIR}/on -DPLOVER_BENCH=OFF ${hide_tools}
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(rc EQUAL 0)
  message(FATAL_ERROR "the tests configured without GoogleTest: the check above hid nothing")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
