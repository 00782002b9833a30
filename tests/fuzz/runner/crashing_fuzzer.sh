#!/bin/sh
# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# Stands in for a fuzzer that finds a crash at once, as libFuzzer reports
# one: the input in the artefact folder, the stack on standard error.
for arg in "$@"; do
  case "$arg" in
    -artifact_prefix=*) prefix="${arg#-artifact_prefix=}" ;;
  esac
done
echo "trace of the plug-in on standard output"
printf '{"method":"notify_status_update"\377' > "${prefix}crash-0123456789abcdef"
echo "INFO: Seed: 1234" >&2
echo "==4242==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x602000000011" >&2
echo "    #0 0x55d1 in pemra::Dispatcher::dispatch(std::string_view) dispatcher.cpp:123" >&2
echo "    #1 0x55d2 in LLVMFuzzerTestOneInput dispatcher_fuzz.cpp:40" >&2
echo "artifact_prefix='${prefix}'; Test unit written to ${prefix}crash-0123456789abcdef" >&2
exit 77
