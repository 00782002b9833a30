# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# Runs the fuzzer for SECONDS from a fresh corpus seeded with SEEDS; any
# crash, sanitizer report or escaped exception makes it exit non-zero.
file(REMOVE_RECURSE "${CORPUS}")
file(MAKE_DIRECTORY "${CORPUS}")
execute_process(
  COMMAND "${FUZZER}" "${CORPUS}" "${SEEDS}" -dict=${DICT} -max_total_time=${SECONDS}
          -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
  WORKING_DIRECTORY "${CORPUS}"
  OUTPUT_QUIET
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the fuzzer found a problem (exit code ${result})")
endif()
