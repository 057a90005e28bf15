# Turns the MTP writer's binary into the Intel-HEX text the program carries, as a
# C++ source defining zeltra::firmware::SYMBOL and SYMBOLSize (length without NUL).
# The parameter record comes first, so that the host's textual patching finds its
# address before any code bytes; the code follows in 16-byte records, CR LF ended.
# Usage: cmake -DIN=file.bin -DOUT=file.cpp -DSYMBOL=name -DCODE_END=256
#              -DPARAM=256 -DPARAM_SIZE=18 -P hex_resource.cmake
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
math(EXPR param_end "${PARAM} + ${PARAM_SIZE}")
if(size LESS param_end)
  message(FATAL_ERROR "${IN} holds ${size} bytes, fewer than the parameter record needs")
endif()

function(hex_byte value out)
  math(EXPR v "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${v}" 2 -1 v)
  string(TOUPPER "${v}" v)
  string(LENGTH "${v}" n)
  if(n EQUAL 1)
    set(v "0${v}")
  endif()
  set(${out} "${v}" PARENT_SCOPE)
endfunction()

# One record of count bytes from address.
function(record address count out)
  math(EXPR hi "${address} >> 8")
  math(EXPR lo "${address} & 255")
  math(EXPR sum "${count} + ${hi} + ${lo}")
  hex_byte(${count} c)
  hex_byte(${hi} h)
  hex_byte(${lo} l)
  set(line ":${c}${h}${l}00")
  math(EXPR last "${address} + ${count} - 1")
  foreach(a RANGE ${address} ${last})
    math(EXPR pos "${a} * 2")
    string(SUBSTRING "${hex}" ${pos} 2 b)
    string(TOUPPER "${b}" b)
    math(EXPR sum "${sum} + 0x${b}")
    string(APPEND line "${b}")
  endforeach()
  math(EXPR check "(256 - (${sum} & 255)) & 255")
  hex_byte(${check} k)
  set(${out} "${line}${k}" PARENT_SCOPE)
endfunction()

record(${PARAM} ${PARAM_SIZE} first)
set(lines "${first}")
math(EXPR last_start "${CODE_END} - 16")
foreach(a RANGE 0 ${last_start} 16)
  record(${a} 16 line)
  list(APPEND lines "${line}")
endforeach()
list(APPEND lines ":00000001FF")

set(body "")
set(total 0)
foreach(line IN LISTS lines)
  string(APPEND body "    \"${line}\\r\\n\"\n")
  string(LENGTH "${line}" n)
  math(EXPR total "${total} + ${n} + 2")
endforeach()
file(WRITE ${OUT}.tmp
  "// Generated from ${IN}; do not edit.\n"
  "#include \"zeltra/mtp_writer.h\"\n\n"
  "namespace zeltra::firmware {\n\n"
  "static_assert(${PARAM} == zt::mtp_writer::kParamRecord);\n"
  "static_assert(${PARAM_SIZE} == zt::mtp_writer::kParamRecordSize);\n"
  "static_assert(${CODE_END} <= zt::mtp_writer::kParamRecord);\n\n"
  "const char ${SYMBOL}[] =\n${body};\n"
  "const std::size_t ${SYMBOL}Size = ${total};\n\n"
  "}  // namespace zeltra::firmware\n")
file(RENAME ${OUT}.tmp ${OUT})
