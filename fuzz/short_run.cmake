# One short fuzz run: FUZZER on a scratch copy of the SEEDS folders (a list) for SECONDS,
# extra libFuzzer OPTIONS (a list) added; any finding fails.

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH}/corpus ${SCRATCH}/artifacts)
foreach(folder IN LISTS SEEDS)
  file(GLOB seeds ${folder}/*)
  if(seeds)
    file(COPY ${seeds} DESTINATION ${SCRATCH}/corpus)
  endif()
endforeach()
execute_process(
  COMMAND ${FUZZER} ${SCRATCH}/corpus -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -artifact_prefix=${SCRATCH}/artifacts/ -print_final_stats=1 ${OPTIONS}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "fuzzing found a fault (exit ${status}); the input is in ${SCRATCH}/artifacts")
endif()
