# Tests that need components from scripts/install-test-extras.sh (the
# formatter, the fuzzing compiler, a cluster, a browser) are registered with
# nocturnia_add_extras_test, so that on a machine without them ctest reports
# them as skipped, with the reason and the script to run, and never as passed.
#
#   nocturnia_add_extras_test(NAME <name>
#     REQUIRES <program>...             # looked up on PATH before the test runs
#     COMMAND <command> [<arg>...]
#     [LABELS <label>...]               # added to the label `extras`
#     [TIMEOUT <seconds>] [WORKING_DIRECTORY <dir>])
#
# A missing program makes the test print "SKIPPED: <program> is not installed;
# run: bash scripts/install-test-extras.sh" and exit 77. The command itself may
# exit 77 the same way for what a program lookup cannot see (a library, a
# service); ctest counts 77 as skipped. `ctest -L extras` runs them all.
set(NOCTURNIA_EXTRAS_RUNNER ${CMAKE_CURRENT_LIST_DIR}/run_if_installed.sh)

function(nocturnia_add_extras_test)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "" "NAME;TIMEOUT;WORKING_DIRECTORY" "REQUIRES;COMMAND;LABELS")
  if(NOT ARG_NAME OR NOT ARG_COMMAND)
    message(FATAL_ERROR "nocturnia_add_extras_test: NAME and COMMAND are required")
  endif()
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  add_test(NAME ${ARG_NAME}
    COMMAND bash ${NOCTURNIA_EXTRAS_RUNNER} ${ARG_REQUIRES} -- ${ARG_COMMAND}
    WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
  set_tests_properties(${ARG_NAME} PROPERTIES SKIP_RETURN_CODE 77 LABELS "extras;${ARG_LABELS}")
  if(ARG_TIMEOUT)
    set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()
