# Runs one fuzz target for SECONDS on a fresh copy of its seed corpus (the seeds in the
# repository stay as they are; what the run adds is left in WORK for a look afterwards).
# A crash, a hang past 5 s, a sanitizer report or memory beyond 2 GB fails the test; the
# input that did it is saved in WORK as crash-*, timeout-* or oom-*.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
file(COPY ${SEEDS}/ DESTINATION ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=5 -rss_limit_mb=2048
          -print_final_stats=1 -artifact_prefix=${WORK}/ ${WORK}/corpus
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); the input is in ${WORK}")
endif()
