# Writes a section-1 manual page from a program's --help text.
#   cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DVERSION=x -DOUT=file -P make_man.cmake
execute_process(COMMAND ${PROGRAM} --help
  OUTPUT_VARIABLE help ERROR_VARIABLE errors RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NAME} --help failed (${rc}): ${errors}")
endif()
# Programs that print their own path should show their installed name.
string(REPLACE "${PROGRAM}" "${NAME}" help "${help}")
# roff: a backslash is \e, and a line may not start with a control character.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" title)
string(TIMESTAMP date "%Y-%m-%d" UTC)
file(WRITE ${OUT} ".TH ${title} 1 \"${date}\" \"${NAME} ${VERSION}\" \"Zeltra toolchain\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
.nf
${help}
.fi
.SH SEE ALSO
The README of the Zeltra toolchain.
")
