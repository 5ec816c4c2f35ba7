# Writes the man page, gzipped as Debian wants it, from the tool's --help:
#   cmake -DHELP2MAN=... -DTOOL=... -DOUTPUT=.../vantrel.1.gz -P man_page.cmake
# help2man makes the help's "Exit status:" block a subsection of OPTIONS; as
# the last block of the help it becomes the page's EXIT STATUS section, so
# the statuses are written once, in the help.
set(page ${OUTPUT}.tmp)
execute_process(
  COMMAND ${HELP2MAN} --no-info --section 1
          --name "deinterlace video with the Vantrel filter" --output ${page} ${TOOL}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "help2man failed on ${TOOL}")
endif()
file(READ ${page} text)
string(FIND "${text}" ".SS \"Exit status:\"" at)
if(at EQUAL -1)
  message(FATAL_ERROR "vantrel --help has no \"Exit status:\" block")
endif()
string(REPLACE ".SS \"Exit status:\"" ".SH \"EXIT STATUS\"" text "${text}")
file(WRITE ${page} "${text}")
# -n: no name or time stamp inside, so the same page gives the same bytes.
execute_process(COMMAND gzip -9nc ${page} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE failed)
file(REMOVE ${page})
if(failed)
  message(FATAL_ERROR "gzip failed on the man page")
endif()
