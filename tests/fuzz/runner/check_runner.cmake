# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# The fuzz runner, driven by a stand-in fuzzer that crashes: the run must
# fail and its message must carry the stack, the input and where it is kept.
set(_artifacts "${WORK}/artifacts")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -DFUZZER=${FAKE_FUZZER} -DSEEDS=${WORK}/seeds -DDICT=${WORK}/dict
          -DCORPUS=${WORK}/corpus -DSECONDS=1 -DARTIFACTS=${_artifacts} -P ${RUNNER}
  OUTPUT_VARIABLE _out
  ERROR_VARIABLE _err
  RESULT_VARIABLE _result)
set(_all "${_out}${_err}")
# CMake wraps and indents error messages: compare with spaces folded.
string(REGEX REPLACE "[ \t\r\n]+" " " _folded "${_all}")

set(_problems "")
if(_result EQUAL 0)
  string(APPEND _problems "\n  the runner passed although the fuzzer failed")
endif()
foreach(_expected
    "AddressSanitizer: heap-buffer-overflow"
    "#0 0x55d1 in pemra::Dispatcher::dispatch"
    "exit code 77"
    "inputs kept in ${_artifacts}"
    "${_artifacts}/crash-0123456789abcdef (33 bytes): 7b226d6574686f64")
  string(FIND "${_folded}" "${_expected}" _at)
  if(_at EQUAL -1)
    string(APPEND _problems "\n  missing: ${_expected}")
  endif()
endforeach()
if(NOT EXISTS "${_artifacts}/crash-0123456789abcdef")
  string(APPEND _problems "\n  the crashing input was not kept")
endif()
if(NOT EXISTS "${_artifacts}/fuzzer.log")
  string(APPEND _problems "\n  the fuzzer's report was not kept")
endif()
if(NOT _problems STREQUAL "")
  message(FATAL_ERROR "the fuzz runner hides what a failure needs:${_problems}\n---- its output ----\n${_all}")
endif()
