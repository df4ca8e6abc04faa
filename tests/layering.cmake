# Fails when a source of the portable engines (SOURCES, separated by |) includes, directly or
# through another header, a header of the plug-in, the colour controls, the stand-in host or
# imagetool. The compiler CXX lists what each source reaches from ROOT.
string(REPLACE "|" ";" sources "${SOURCES}")
set(violations "")
foreach(source IN LISTS sources)
  execute_process(COMMAND ${CXX} -std=c++20 -MM -I${ROOT} ${source}
                  OUTPUT_VARIABLE reached ERROR_VARIABLE errors RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${source}: ${errors}")
  endif()
  string(REGEX MATCHALL "${ROOT}/(plugin|controls|host|cli)/[^ \\\n]+" above "${reached}")
  if(above)
    string(APPEND violations "\n  ${source}: ${above}")
  endif()
endforeach()
if(violations)
  message(FATAL_ERROR "engine sources reach headers above the engines:${violations}")
endif()
list(LENGTH sources count)
message(STATUS "${count} engine sources include only engine headers")
