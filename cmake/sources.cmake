# Which of src/'s files a build takes: every source but the entry point, without the other
# platforms' files. Files named *_posix.cpp build only on POSIX systems; files named *_win32.cpp,
# and the Windows console backend's folder, only on Windows. The main build and the fuzz
# targets share this list.
function(gamebox_sources out root)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${root}/src/*.cpp)
  list(REMOVE_ITEM sources ${root}/src/launcher/main.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "(_win32\\.cpp|/backends/win32/.*)$")
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
