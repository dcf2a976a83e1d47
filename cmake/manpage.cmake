# Script mode: writes a man page from the text a program prints for --help
# (or from a C header), so the page and the help never disagree.
#   -DTEXT_COMMAND=...   command whose output is the text (a ;-list)
#   -DTEXT_FILE=...      or a file whose contents are the text
#   -DTITLE=talvox-info -DSECTION=1 -DSUMMARY="..." -DVERSION=0.1.0
#   -DSYNOPSIS="a|b"     (optional) synopsis lines, | between them
#   -DSEE_ALSO="talvox(1)" -DOUTPUT=path
if(TEXT_COMMAND)
  execute_process(COMMAND ${TEXT_COMMAND} OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TEXT_COMMAND} failed (${status})")
  endif()
else()
  file(READ ${TEXT_FILE} text)
endif()

# roff: a backslash is \e; a line starting with . or ' would be a request.
string(REPLACE "\\" "\\e" text "${text}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
string(TOUPPER "${TITLE}" upper)
set(page ".TH ${upper} ${SECTION} \"\" \"talvox ${VERSION}\" \"talvox manual\"\n")
string(APPEND page ".SH NAME\n${TITLE} \\- ${SUMMARY}\n")
if(SYNOPSIS)
  string(REPLACE "|" "\n" SYNOPSIS "${SYNOPSIS}")
  string(APPEND page ".SH SYNOPSIS\n.nf\n${SYNOPSIS}\n.fi\n")
endif()
string(APPEND page ".SH DESCRIPTION\n.nf\n${text}\n.fi\n")
if(SEE_ALSO)
  string(APPEND page ".SH SEE ALSO\n${SEE_ALSO}\n")
endif()
file(WRITE ${OUTPUT} "${page}")
