# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# Runs the fuzzer for SECONDS from a fresh corpus seeded with SEEDS; any
# crash, sanitizer report or escaped exception makes it exit non-zero.
# FLAGS, when given, are more libFuzzer flags (a list).
#
# What a failure needs to be acted on is kept in ARTIFACTS: the input that
# made it fail (libFuzzer's crash-*, leak-*, timeout-* or oom-* file) and the
# fuzzer's whole output. The folder holds the last run's findings only; a
# failure prints its path, the input and the end of the report (the stack).
foreach(required FUZZER SEEDS DICT CORPUS SECONDS ARTIFACTS)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "run_fuzzer.cmake needs -D${required}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${CORPUS}" "${ARTIFACTS}")
file(MAKE_DIRECTORY "${CORPUS}" "${ARTIFACTS}")
set(_log "${ARTIFACTS}/fuzzer.log")
set(_traces "${ARTIFACTS}/fuzzer-stdout.log")
# libFuzzer reports on standard error; standard output carries only the
# plug-in's progress traces, kept in a file of their own.
execute_process(
  COMMAND "${FUZZER}" "${CORPUS}" "${SEEDS}" -dict=${DICT} -max_total_time=${SECONDS}
          -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
          "-artifact_prefix=${ARTIFACTS}/" ${FLAGS}
  WORKING_DIRECTORY "${CORPUS}"
  OUTPUT_FILE "${_traces}"
  ERROR_FILE "${_log}"
  RESULT_VARIABLE result)
if(result EQUAL 0)
  return()
endif()

# The end of the report: the sanitizer's or libFuzzer's stack and the input
# in bytes and Base64. Progress lines before it are only in the log.
file(STRINGS "${_log}" _lines)
list(LENGTH _lines _count)
set(_shown 120)
if(_count GREATER _shown)
  math(EXPR _first "${_count} - ${_shown}")
  list(SUBLIST _lines ${_first} ${_shown} _lines)
endif()
list(JOIN _lines "\n" _report)

file(GLOB _inputs "${ARTIFACTS}/crash-*" "${ARTIFACTS}/leak-*" "${ARTIFACTS}/timeout-*" "${ARTIFACTS}/oom-*"
     "${ARTIFACTS}/slow-unit-*")
set(_kept "")
foreach(_input IN LISTS _inputs)
  file(SIZE "${_input}" _size)
  # Hex, as the input is any bytes at all; the first 512 are enough to see
  # what kind of frame it was, and the file has the rest.
  file(READ "${_input}" _hex LIMIT 512 HEX)
  string(APPEND _kept "\n  ${_input} (${_size} bytes): ${_hex}")
endforeach()
if(_kept STREQUAL "")
  set(_kept "\n  (the fuzzer wrote no input file)")
endif()

message("---- end of the fuzzer's report (all of it: ${_log}) ----\n${_report}\n---- end of report ----")
message(FATAL_ERROR "the fuzzer found a problem (exit code ${result}); inputs kept in ${ARTIFACTS}:${_kept}\n"
                    "Replay one with: ${FUZZER} <input>")
