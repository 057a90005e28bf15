# ordwin-smoke probe against the hidapi stand-in: every configured adapter is
# described, a locked one says how to fix it, and only read-only questions
# reach the adapters. The ids and adapters come from CTest's environment, the
# stand-in to preload as PRELOAD.
set(smoke ${CMAKE_COMMAND} -E env LD_PRELOAD=${PRELOAD} ${SMOKE})
set(trace ${WORK}/probe.trace)
file(REMOVE ${trace})
execute_process(COMMAND ${CMAKE_COMMAND} -E env WICKPORT_TRACE=${trace} ${smoke} probe
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "probe with a locked adapter exited with ${status}:\n${out}${err}")
endif()
foreach(want
    "Adapter [0-9]: PROBE1\n  USB ids:      1209:8a51\n  product:      Virtual debug adapter"
    "  device node:  zsim:PROBE1\n  access:       may be opened\n  reports:      numbered: output 0x01 \\(64 bytes\\), input 0x02 \\(64 bytes\\), features 0x40"
    "  mode:         2\n  firmware:     version 31\n"
    "Adapter [0-9]: PROBE2\n  USB ids:      1209:8045"
    "  mode:         1\n  firmware:     version 4 \\(last reported\\)\n"
    "Adapter [0-9]: PROBE3\n  USB ids:      1209:8a51"
    "PROBE3\n.*  reports:      unnumbered: output 0x00 \\(64 bytes\\), input 0x00 \\(64 bytes\\), no features"
    "Adapter [0-9]: LOCKED\n.*  access:       may not be opened\n    LOCKED: ")
  if(NOT out MATCHES "${want}")
    message(FATAL_ERROR "probe output lacks \"${want}\":\n${out}")
  endif()
endforeach()
# Nothing but the mode and version questions and control-value reads.
file(STRINGS ${trace} lines)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^(# report layout: |> 00 00 00$|> 06 00 00$|< |C< 4[34] )")
    message(FATAL_ERROR "probe sent more than questions: ${line}")
  endif()
endforeach()
list(FILTER lines INCLUDE REGEX "^> ")
list(LENGTH lines sent)
if(NOT sent EQUAL 4)
  message(FATAL_ERROR "expected the mode and version questions of two adapters, saw ${sent}:\n${out}")
endif()
# One adapter by serial, which answers: exit 0.
execute_process(COMMAND ${smoke} probe probe3 RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out MATCHES "Adapter [0-9]: PROBE3" OR out MATCHES "PROBE1")
  message(FATAL_ERROR "probe PROBE3 gave ${status}:\n${out}")
endif()
execute_process(COMMAND ${SMOKE} --version RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "ordwin-smoke ${VERSION}\n")
  message(FATAL_ERROR "--version gave ${status}: ${out}")
endif()
