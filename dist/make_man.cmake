# Writes a section-1 manual page with help2man from a program's --help, the
# sections of an include file and, for programs with subcommands, a COMMANDS
# section made of each subcommand's --help.
#   cmake -DHELP2MAN=path -DPROGRAM=path -DNAME=name -DSUMMARY=text -DVERSION=x
#         -DINCLUDE=file.h2m -DCOMMON=common.h2m [-DSUBCOMMANDS="a;b c"] -DOUT=file
#         -P make_man.cmake
get_filename_component(out_dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${out_dir})

# roff: a backslash is \e, and a line may not start with a control character.
function(to_roff text var)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

file(READ ${INCLUDE} sections)
if(NOT INCLUDE STREQUAL COMMON)
  file(READ ${COMMON} common)
  string(APPEND sections "\n${common}")
endif()
if(SUBCOMMANDS)
  set(commands "[COMMANDS]\n")
  foreach(sub IN LISTS SUBCOMMANDS)
    string(REPLACE " " ";" words "${sub}")
    execute_process(COMMAND ${PROGRAM} ${words} --help
      OUTPUT_VARIABLE help ERROR_VARIABLE errors RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${NAME} ${sub} --help failed (${rc}): ${errors}")
    endif()
    string(REPLACE "${PROGRAM}" "${NAME}" help "${help}")
    to_roff("${help}" help)
    string(APPEND commands ".SS \"${NAME} ${sub}\"\n.nf\n${help}\n.fi\n")
  endforeach()
  string(PREPEND sections "${commands}\n")
endif()
set(include_file ${OUT}.h2m)
file(WRITE ${include_file} "${sections}")

# help2man runs the program by the name it is given; a link with the installed
# name keeps the build path out of the page.
set(link_dir ${out_dir}/bin)
file(MAKE_DIRECTORY ${link_dir})
file(CREATE_LINK ${PROGRAM} ${link_dir}/${NAME} SYMBOLIC)
execute_process(
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr --version-string=${VERSION}
          "--name=${SUMMARY}" --section=1 "--manual=Zeltra toolchain"
          "--source=Zeltra toolchain ${VERSION}" --include=${include_file} --output=${OUT}
          ${link_dir}/${NAME}
  RESULT_VARIABLE rc ERROR_VARIABLE errors)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man ${NAME} failed (${rc}): ${errors}")
endif()
