# Renders the man page and fails on any warning of the formatter or an empty result.
# Variables: GROFF, MAN_PAGE.
execute_process(COMMAND "${GROFF}" -man -Tutf8 -P-cbou -ww "${MAN_PAGE}"
  OUTPUT_VARIABLE rendered ERROR_VARIABLE warnings RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "groff failed (${status}):\n${warnings}")
endif()
foreach(section "NAME" "SYNOPSIS" "DESCRIPTION" "EXIT STATUS" "DIAGNOSTICS")
  if(NOT rendered MATCHES "${section}")
    message(FATAL_ERROR "section ${section} missing from the rendered page")
  endif()
endforeach()
