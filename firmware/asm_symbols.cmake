# Turns chosen symbols of an sdas symbol table into C++ constants, so the
# host's headers can be checked against what the assembler really used.
# Usage: cmake -DIN=file.sym -DOUT=file.h -DNAMESPACE=ns -DSYMBOLS="A=kA;B=kB" -P asm_symbols.cmake
file(READ ${IN} table)
set(body "")
foreach(pair IN LISTS SYMBOLS)
  string(REPLACE "=" ";" parts "${pair}")
  list(GET parts 0 symbol)
  list(GET parts 1 constant)
  # Equates read "NAME = 00XXXX", labels "N NAME 00XXXX R".
  if(NOT table MATCHES "[ \t]${symbol}[ \t]*=?[ \t]*([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])")
    message(FATAL_ERROR "symbol ${symbol} is not in ${IN}")
  endif()
  string(APPEND body "inline constexpr unsigned ${constant} = 0x${CMAKE_MATCH_1};\n")
endforeach()
file(WRITE ${OUT}.tmp
  "// Generated from ${IN}; do not edit.\n#pragma once\n\n"
  "namespace ${NAMESPACE} {\n\n${body}\n}  // namespace ${NAMESPACE}\n")
file(RENAME ${OUT}.tmp ${OUT})
