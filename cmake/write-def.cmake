# Writes a module-definition file naming every function an import library imports.
execute_process(COMMAND ${NM} ${IMPORT_LIB} OUTPUT_VARIABLE symbols ERROR_QUIET)
string(REGEX MATCHALL "__imp_[A-Za-z0-9_@]+" symbols "${symbols}")
list(TRANSFORM symbols REPLACE "^__imp_" "")
# 32-bit x86 names carry a leading underscore (and stdcall ones "@<bytes>",
# which dlltool -k keeps out of the DLL's import names).
if(STRIP_UNDERSCORE)
  list(TRANSFORM symbols REPLACE "^_" "")
endif()
list(REMOVE_DUPLICATES symbols)
list(SORT symbols)
list(JOIN symbols "\n" body)
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n${body}\n")
