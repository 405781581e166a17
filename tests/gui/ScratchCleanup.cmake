# Runs one case of a GUI test program with the temporary folder (TMPDIR)
# pointed at an empty folder of its own, and fails when the program fails or
# leaves anything in that folder (settings, runtime or per-test folders).
#
#   cmake -DPROGRAM=<test program> -DTESTCASE=<test function> -DSCRATCH=<folder>
#         -P ScratchCleanup.cmake
foreach(var PROGRAM TESTCASE SCRATCH)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ScratchCleanup.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "TMPDIR=${SCRATCH}" QT_QPA_PLATFORM=offscreen
                        "${PROGRAM}" "${TESTCASE}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ${TESTCASE} failed (${status}):\n${output}")
endif()

file(GLOB left LIST_DIRECTORIES true "${SCRATCH}/*" "${SCRATCH}/.*")
if(left)
  message(FATAL_ERROR "${PROGRAM} left behind in its temporary folder: ${left}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
message(STATUS "${PROGRAM} ${TESTCASE}: nothing left in ${SCRATCH}")
