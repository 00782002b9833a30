# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# Writes the stream fuzzer's seeds into OUT and compares them with the
# committed ones in SEEDS: same names, same bytes. After a change to the seed
# list, refresh the committed seeds with
#   PEMRA_STREAM_SEEDS_OUT=tests/fuzz/stream_seeds build-asan/tests/fuzz/stream_fuzz
foreach(required FUZZER SEEDS OUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "check_stream_seeds.cmake needs -D${required}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env "PEMRA_STREAM_SEEDS_OUT=${OUT}" "${FUZZER}"
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the seed writer failed (${result}):\n${errors}")
endif()

file(GLOB written RELATIVE "${OUT}" "${OUT}/*")
file(GLOB committed RELATIVE "${SEEDS}" "${SEEDS}/*")
list(SORT written)
list(SORT committed)
if(NOT written STREQUAL committed)
  message(FATAL_ERROR "seed names differ:\n  written:   ${written}\n  committed: ${committed}")
endif()
foreach(name IN LISTS written)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}/${name}" "${SEEDS}/${name}" RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "seed ${name} differs from what the seed list writes")
  endif()
endforeach()
