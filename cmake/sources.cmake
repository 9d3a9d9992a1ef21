# Which of src/'s files a build takes: every source but the entry points, without the other
# platforms' files. Files named *_posix.cpp build only on POSIX systems; files named *_win32.cpp,
# and the Windows console backend's folder, only on Windows; files named *_emscripten.cpp, and
# the browser backend's folder, only in the WebAssembly build (which is no POSIX system here:
# its POSIX calls compile but do not behave). The main build and the fuzz targets share this
# list.
function(gamebox_sources out root)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${root}/src/*.cpp)
  list(REMOVE_ITEM sources ${root}/src/launcher/main.cpp ${root}/src/launcher/main_web.cpp)
  set(win32 "(_win32\\.cpp|/backends/win32/.*)$")
  set(web "(_emscripten\\.cpp|/backends/browser/.*)$")
  if(EMSCRIPTEN)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
    list(FILTER sources EXCLUDE REGEX "${win32}")
  elseif(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
    list(FILTER sources EXCLUDE REGEX "${web}")
  else()
    list(FILTER sources EXCLUDE REGEX "${win32}")
    list(FILTER sources EXCLUDE REGEX "${web}")
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
