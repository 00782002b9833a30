# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# Per-target build settings: our warnings, the sanitizers, and the third-party
# interface targets (included as SYSTEM so their warnings stay theirs).

function(pemra_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
  if(PEMRA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(PEMRA_SANITIZE)
  string(REPLACE ";" "," _pemra_san "${PEMRA_SANITIZE}")
  add_compile_options(-fsanitize=${_pemra_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_pemra_san})
endif()

# Marks a target's include directories as SYSTEM for its consumers.
function(pemra_system_includes target)
  get_target_property(_dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  if(_dirs)
    set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${_dirs}")
  endif()
endfunction()
