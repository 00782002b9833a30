# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The pemra_network authors
#
# The exported names come from one place: the PEMRA_API declarations of the
# public header. This writes the linker's export map from them, so the
# library's dynamic symbol table holds those names and nothing else.

function(pemra_export_names header out_var)
  file(READ "${header}" _text)
  string(REGEX MATCHALL "PEMRA_API[^(;]*[ *](pemra_[A-Za-z0-9_]+)[ \t]*\\(" _decls "${_text}")
  set(_names "")
  foreach(_decl IN LISTS _decls)
    string(REGEX REPLACE ".*[ *](pemra_[A-Za-z0-9_]+)[ \t]*\\($" "\\1" _name "${_decl}")
    list(APPEND _names "${_name}")
  endforeach()
  list(REMOVE_DUPLICATES _names)
  set(${out_var} "${_names}" PARENT_SCOPE)
endfunction()

function(pemra_write_export_map header map_file list_file)
  pemra_export_names("${header}" _names)
  list(LENGTH _names _count)
  set(_map "{\n  global:\n")
  set(_list "")
  set(_darwin "")
  foreach(_name IN LISTS _names)
    string(APPEND _map "    ${_name};\n")
    string(APPEND _list "${_name}\n")
    string(APPEND _darwin "_${_name}\n")
  endforeach()
  string(APPEND _map "  local:\n    *;\n};\n")
  if(APPLE)
    file(WRITE "${map_file}" "${_darwin}")
  else()
    file(WRITE "${map_file}" "${_map}")
  endif()
  file(WRITE "${list_file}" "${_list}")
  message(STATUS "pemra_network exports ${_count} functions")
endfunction()
