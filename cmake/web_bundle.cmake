# Joins xterm.js, the program's glue and the page script into one script with one scope, so that
# the page defines no global but window.gamebox. xterm.js comes as an ES module: its one export
# becomes a local. Run with cmake -P; -DXTERM= -DGLUE= -DPAGE= -DOUT=.
file(READ ${XTERM} xterm)
string(REGEX MATCHALL "export *{[A-Za-z_$][A-Za-z0-9_$]* as Terminal}" exports "${xterm}")
list(LENGTH exports n)
if(NOT n EQUAL 1 OR xterm MATCHES "(^|[;}\n])import[ {*]")
  message(FATAL_ERROR "${XTERM}: not the one 'export {X as Terminal}' this bundling expects")
endif()
string(REGEX REPLACE "export *{([A-Za-z_$][A-Za-z0-9_$]*) as Terminal}" "const Terminal = \\1"
                     xterm "${xterm}")
string(REGEX REPLACE "\n//# sourceMappingURL=[^\n]*" "" xterm "${xterm}")
file(READ ${GLUE} glue)
string(REPLACE "|" ";" scripts "${PAGE}")
set(page "")
foreach(script ${scripts})
  file(READ ${script} text)
  string(APPEND page "${text}\n")
endforeach()
file(WRITE ${OUT} "(function () {\n'use strict';\n${xterm}\n${glue}\n${page}\n})();\n")
