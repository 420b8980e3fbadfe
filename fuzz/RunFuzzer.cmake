# Runs one fuzz target for SECONDS on a fresh copy of its seed corpus (the seeds in the
# repository stay as they are; what the run adds is left in WORK/corpus, its output in
# WORK/log). A crash, a hang past 5 s, a sanitizer report, a broken invariant or memory beyond
# 2 GB fails the test; the input that did it is saved in WORK as crash-*, timeout-* or oom-*.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
file(COPY ${SEEDS}/ DESTINATION ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=5 -rss_limit_mb=2048
          -entropic_scale_per_exec_time=1 -print_final_stats=1
          -artifact_prefix=${WORK}/ ${WORK}/corpus
  WORKING_DIRECTORY ${WORK}
  OUTPUT_FILE ${WORK}/log
  ERROR_FILE ${WORK}/log
  RESULT_VARIABLE result)
file(STRINGS ${WORK}/log summary REGEX "^(Done [0-9]+ runs|stat::number_of_executed_units)")
message(STATUS "${summary}")
if(NOT result EQUAL 0)
  file(READ ${WORK}/log output)
  string(LENGTH "${output}" length)
  if(length GREATER 6000)
    math(EXPR start "${length} - 6000")
    string(SUBSTRING "${output}" ${start} -1 output)
  endif()
  message(FATAL_ERROR "${output}\n${FUZZER} failed (${result}); the input is in ${WORK}")
endif()
